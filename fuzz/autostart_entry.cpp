// An autostart entry in the user's folder may have been written by anything: reading it
// must not crash. And our own entry, whatever bytes the program's path holds, is either
// refused (no desktop entry can name that path) or reads back, the way a desktop reads
// it, as enabled, with one Exec and one TryExec line that both name exactly that path: a
// path holding "\nHidden=true", quotes, "%f" or "$HOME" may add no key and no argument.
#include "app/AutostartLoginItem.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The value of `key` in the entry; each key must appear exactly once.
QString valueOf(const QString& entry, const QString& key) {
    std::optional<QString> found;
    for (const QString& line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('='))) {
            require(!found);
            found = line.mid(key.size() + 1);
        }
    }
    require(found.has_value());
    return *found;
}

// A desktop-file string value's escapes undone; a lone or unknown escape is a fault.
QString unescapeString(const QString& value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\') {
            text += value[i];
            continue;
        }
        require(++i < value.size());
        const char16_t c = value[i].unicode();
        require(c == u's' || c == u'n' || c == u't' || c == u'r' || c == u'\\');
        text += c == u's' ? u' ' : c == u'n' ? u'\n' : c == u't' ? u'\t' : c == u'r' ? u'\r' : c;
    }
    return text;
}

// The Exec rules after the string escapes: one argument, quoted or bare, "%%" for "%".
QString unquoteSingleArgument(const QString& exec) {
    QString argument;
    bool quoted = !exec.isEmpty() && exec.front() == u'"';
    if (quoted) {
        require(exec.size() >= 2 && exec.back() == u'"');
    }
    const QString body = quoted ? exec.mid(1, exec.size() - 2) : exec;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c == u'%') {
            require(i + 1 < body.size() && body[i + 1] == u'%'); // no field code
            argument += c;
            ++i;
        } else if (quoted && c == u'\\') {
            require(i + 1 < body.size());
            const QChar next = body[++i];
            require(next == u'"' || next == u'`' || next == u'$' || next == u'\\');
            argument += next;
        } else {
            // Unquoted, no reserved character may stand; quoted, no bare quote, ` or $.
            require(quoted ? c != u'"' && c != u'`' && c != u'$'
                           : !QStringLiteral(" \t\n\"'\\><~|&;$*?#()`").contains(c));
            argument += c;
        }
    }
    return argument;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)trovimo::AutostartLoginItem::parseEntry(bytes);

    const std::optional<QByteArray> entry = trovimo::AutostartLoginItem::entryText(bytes);
    const bool nameable =
        bytes.startsWith('/') && bytes.isValidUtf8() &&
        std::none_of(bytes.begin(), bytes.end(), [](char c) {
            return (c >= 0 && c < 0x20 && c != '\n' && c != '\t' && c != '\r') || c == 0x7f;
        });
    require(entry.has_value() == nameable);
    if (!entry) {
        return 0;
    }
    require(QByteArrayView(*entry).isValidUtf8());
    require(trovimo::AutostartLoginItem::parseEntry(*entry) ==
            trovimo::AutostartLoginItem::Status::enabled);
    require(entry->count('\n') == 9 && entry->endsWith('\n'));
    // Nothing but the line ends may be a control character in a desktop entry.
    require(std::none_of(entry->begin(), entry->end(),
                         [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7f; }));

    const QString text = QString::fromUtf8(*entry);
    const QString program = QString::fromUtf8(bytes);
    const QString tryExec = valueOf(text, QStringLiteral("TryExec"));
    require(unescapeString(tryExec) == program);
    require(!tryExec.endsWith(u' ')); // readers trim what ends a value
    require(unquoteSingleArgument(unescapeString(valueOf(text, QStringLiteral("Exec")))) ==
            program);
    return 0;
}
