// Fuzzes splitText against Qt's own splitter: the first byte gives the separator's length (0 to 3
// bytes, taken next), the rest is the text. splitText must return, give at least one element, and
// give exactly what splitting left to right gives with one empty last element dropped.

#include "core/text/FileNames.h"
#include "core/text/TextSplit.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t separatorSize = std::min<size_t>(data[0] % 4, size - 1);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const QString separator = FileNames::decode(bytes.substr(0, separatorSize));
    const QString text = FileNames::decode(bytes.substr(separatorSize));
    const QString copy = text;

    const QStringList elements = splitText(text, separator);
    if (elements.isEmpty() || text != copy)
        std::abort();
    if (separator.isEmpty()) {
        if (elements != QStringList{text})
            std::abort();
        return 0;
    }
    QStringList expected = text.split(separator, Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (expected.size() > 1 && expected.constLast().isEmpty())
        expected.removeLast();
    if (elements != expected)
        std::abort();
    for (const QString& element : elements) {
        if (element.contains(separator))
            std::abort();
    }
    return 0;
}
