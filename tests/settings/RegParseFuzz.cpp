// The settings file parser and writer on arbitrary bytes: they either fail to parse or give a
// document that, edited and written, reads back exactly as it was held.
#include "settings/RegDocument.h"
#include "tests/support/FuzzInput.h"

#include <cstdint>

using namespace Qt::StringLiterals;
using morvex::RegDocument;
using morvex::RegValue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    auto parsed = RegDocument::parse(bytes);
    auto* document = std::get_if<RegDocument>(&parsed);
    if (!document)
        return 0;
    // Edit what the file holds, with the input itself as an awkward text.
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    document->setValue(u"Software\\QOR\\Morvex\\Fuzz"_s, u"Text"_s, RegValue::fromText(text));
    document->setValue(u"Software"_s, u"Number"_s, RegValue::fromNumber(qint32(size)));
    if (size > 0 && data[0] % 2)
        document->removeTree(u"Software\\QOR"_s);
    auto again = RegDocument::parse(document->serialize());
    auto* reread = std::get_if<RegDocument>(&again);
    morvex::fuzz::check(reread && reread->state() == document->state() &&
                        reread->sameContent(*document));
    return 0;
}
