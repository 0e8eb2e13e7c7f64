// An autostart entry in the user's folder may have been written by anything: reading it
// must not crash. And our own entry, whatever the program's path, must read back as
// enabled with one Exec line: a path holding "\nHidden=true" may not add a key.
#include "app/AutostartLoginItem.h"

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)trovimo::AutostartLoginItem::parseEntry(bytes);

    const QString program = QString::fromUtf8(bytes);
    const QByteArray entry = trovimo::AutostartLoginItem::entryText(program);
    if (trovimo::AutostartLoginItem::parseEntry(entry) !=
        trovimo::LoginItemService::Status::enabled) {
        std::abort();
    }
    if (entry.count("\nExec=") != 1 || entry.count('\n') != 8) {
        std::abort();
    }
    return 0;
}
