#include "readers/WifiLink.h"

#include "core/DisplayableText.h"
#include "readers/NetlinkAttributes.h"

#include <QList>
#include <QString>

#include <linux/nl80211.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <memory>

namespace trovimo {

namespace {

constexpr std::size_t maximumSsidLength = 32;

std::optional<int> rateGeneration(std::span<const std::uint8_t> rateInfo) {
    std::optional<int> generation;
    NetlinkAttributes(rateInfo).forEach([&](const NetlinkAttributes::Attribute& attribute) {
        int found = 0;
        switch (attribute.type) {
        case NL80211_RATE_INFO_EHT_MCS:
            found = 7;
            break;
        case NL80211_RATE_INFO_HE_MCS:
            found = 6;
            break;
        case NL80211_RATE_INFO_VHT_MCS:
            found = 5;
            break;
        case NL80211_RATE_INFO_MCS:
            found = 4;
            break;
        default:
            return;
        }
        generation = std::max(generation.value_or(0), found);
    });
    return generation;
}

struct SocketFree {
    void operator()(nl_sock* socket) const noexcept { nl_socket_free(socket); }
};
struct MessageFree {
    void operator()(nl_msg* message) const noexcept { nlmsg_free(message); }
};
struct CallbackPut {
    void operator()(nl_cb* callback) const noexcept { nl_cb_put(callback); }
};
using Socket = std::unique_ptr<nl_sock, SocketFree>;
using Message = std::unique_ptr<nl_msg, MessageFree>;
using Callback = std::unique_ptr<nl_cb, CallbackPut>;

// One request and its replies; `onMessage` gets each reply's attributes.
template <typename OnMessage>
bool exchange(nl_sock* socket, int family, std::uint8_t command, int flags, unsigned ifindex,
              OnMessage& onMessage) {
    Message message(nlmsg_alloc());
    Callback callback(nl_cb_alloc(NL_CB_DEFAULT));
    if (!message || !callback) {
        return false;
    }
    if (!genlmsg_put(message.get(), NL_AUTO_PORT, NL_AUTO_SEQ, family, 0, flags, command, 0) ||
        nla_put_u32(message.get(), NL80211_ATTR_IFINDEX, ifindex) < 0) {
        return false;
    }
    struct State {
        OnMessage* onMessage;
        int result = 1; // > 0 while replies are pending
    } state{&onMessage};
    const auto valid = [](nl_msg* reply, void* argument) -> int {
        auto* state = static_cast<State*>(argument);
        const nlmsghdr* header = nlmsg_hdr(reply);
        if (header->nlmsg_len < NLMSG_HDRLEN + GENL_HDRLEN) {
            return NL_SKIP;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(nlmsg_data(header)) + GENL_HDRLEN;
        const std::size_t length = header->nlmsg_len - NLMSG_HDRLEN - GENL_HDRLEN;
        (*state->onMessage)(std::span<const std::uint8_t>(bytes, length));
        return NL_SKIP;
    };
    const auto finished = [](nl_msg*, void* argument) -> int {
        static_cast<State*>(argument)->result = 0;
        return NL_STOP;
    };
    const auto failed = [](sockaddr_nl*, nlmsgerr* error, void* argument) -> int {
        static_cast<State*>(argument)->result = error->error < 0 ? error->error : -1;
        return NL_STOP;
    };
    nl_cb_set(callback.get(), NL_CB_VALID, NL_CB_CUSTOM, valid, &state);
    nl_cb_set(callback.get(), NL_CB_FINISH, NL_CB_CUSTOM, finished, &state);
    nl_cb_set(callback.get(), NL_CB_ACK, NL_CB_CUSTOM, finished, &state);
    nl_cb_err(callback.get(), NL_CB_CUSTOM, failed, &state);
    if (nl_send_auto(socket, message.get()) < 0) {
        return false;
    }
    while (state.result > 0) {
        if (nl_recvmsgs(socket, callback.get()) < 0) {
            return false;
        }
    }
    return state.result == 0;
}

} // namespace

std::optional<std::string> displaySsid(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > maximumSsidLength) {
        return std::nullopt;
    }
    const QString cleaned = displayableText(QString::fromUtf8(
        reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    if (cleaned.trimmed().isEmpty()) {
        return std::nullopt;
    }
    return cleaned.toStdString();
}

std::optional<std::string> parseInterfaceSsid(std::span<const std::uint8_t> attributes) {
    const auto ssid = NetlinkAttributes(attributes).find(NL80211_ATTR_SSID);
    if (!ssid) {
        return std::nullopt;
    }
    return displaySsid(*ssid);
}

std::optional<std::string> parseScanSsid(std::span<const std::uint8_t> attributes) {
    const auto bss = NetlinkAttributes(attributes).find(NL80211_ATTR_BSS);
    if (!bss) {
        return std::nullopt;
    }
    const NetlinkAttributes fields(*bss);
    const auto status = fields.find(NL80211_BSS_STATUS);
    const auto statusValue = status ? NetlinkAttributes::u32(*status) : std::nullopt;
    if (statusValue != NL80211_BSS_STATUS_ASSOCIATED &&
        statusValue != NL80211_BSS_STATUS_IBSS_JOINED) {
        return std::nullopt;
    }
    const auto elements = fields.find(NL80211_BSS_INFORMATION_ELEMENTS);
    if (!elements) {
        return std::nullopt;
    }
    // Information elements: id (u8), length (u8), that many bytes.
    std::span<const std::uint8_t> rest = *elements;
    while (rest.size() >= 2) {
        const std::uint8_t id = rest[0];
        const std::size_t length = rest[1];
        if (length > rest.size() - 2) {
            return std::nullopt;
        }
        if (id == 0) {
            return displaySsid(rest.subspan(2, length));
        }
        rest = rest.subspan(2 + length);
    }
    return std::nullopt;
}

std::optional<int> parseStationGeneration(std::span<const std::uint8_t> attributes) {
    const auto stationInfo = NetlinkAttributes(attributes).find(NL80211_ATTR_STA_INFO);
    if (!stationInfo) {
        return std::nullopt;
    }
    std::optional<int> generation;
    NetlinkAttributes(*stationInfo).forEach([&](const NetlinkAttributes::Attribute& attribute) {
        if (attribute.type != NL80211_STA_INFO_TX_BITRATE &&
            attribute.type != NL80211_STA_INFO_RX_BITRATE) {
            return;
        }
        if (const auto found = rateGeneration(attribute.payload)) {
            generation = std::max(generation.value_or(0), *found);
        }
    });
    return generation;
}

std::optional<std::string> wifiGenerationText(std::optional<int> generation) {
    if (!generation || *generation < 4 || *generation > 6) {
        return std::nullopt;
    }
    return "Wi-Fi " + std::to_string(*generation);
}

std::optional<WifiDetails> queryWifiLink(unsigned interfaceIndex) {
    Socket socket(nl_socket_alloc());
    if (!socket || genl_connect(socket.get()) < 0) {
        return std::nullopt;
    }
    // nl80211 answers from within the send call; the timeout bounds a wedged driver.
    const timeval timeout{1, 0};
    ::setsockopt(nl_socket_get_fd(socket.get()), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const int family = genl_ctrl_resolve(socket.get(), "nl80211");
    if (family < 0) {
        return std::nullopt;
    }
    WifiDetails details;
    bool wireless = false;
    auto onInterface = [&](std::span<const std::uint8_t> attributes) {
        wireless = true;
        if (!details.ssid) {
            details.ssid = parseInterfaceSsid(attributes);
        }
    };
    if (!exchange(socket.get(), family, NL80211_CMD_GET_INTERFACE, 0, interfaceIndex,
                  onInterface) ||
        !wireless) {
        return std::nullopt;
    }
    if (!details.ssid) {
        auto onScan = [&](std::span<const std::uint8_t> attributes) {
            if (!details.ssid) {
                details.ssid = parseScanSsid(attributes);
            }
        };
        if (!exchange(socket.get(), family, NL80211_CMD_GET_SCAN, NLM_F_DUMP, interfaceIndex,
                      onScan)) {
            details.ssid.reset();
        }
    }
    // In station mode the one station is the access point we are associated with.
    auto onStation = [&](std::span<const std::uint8_t> attributes) {
        if (const auto generation = parseStationGeneration(attributes)) {
            details.generation = std::max(details.generation.value_or(0), *generation);
        }
    };
    if (!exchange(socket.get(), family, NL80211_CMD_GET_STATION, NLM_F_DUMP, interfaceIndex,
                  onStation)) {
        details.generation.reset();
    }
    return details;
}

} // namespace trovimo
