// The settings-file reader on arbitrary bytes; what it accepts must survive a
// write and a second read, since the store writes back whatever it read.

#include "FuzzSupport.h"

#include "store/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto dictionary = quillary::readPropertyListDictionary(bytes);
    if (!dictionary)
        return 0;
    const QByteArray xml = quillary::writePropertyListXml(*dictionary);
    if (xml.isEmpty())
        return 0;
    const auto again = quillary::readPropertyListDictionary(xml);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->keys() == dictionary->keys());
    return 0;
}
