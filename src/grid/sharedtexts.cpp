#include "grid/sharedtexts.h"

#include <vector>

namespace {

constexpr size_t kSlots = 128 + 128 * 128;

size_t slotOf(unsigned first, unsigned second, qsizetype size)
{
    return size == 1 ? first : 128 + first * 128 + second;
}

// Built whole on first use, so that later look-ups only read it. Never freed: cells
// anywhere may still point into it when static objects go.
const std::vector<QString> &table()
{
    static const std::vector<QString> *const texts = [] {
        auto *characters = new char16_t[kSlots * 2];
        auto *built = new std::vector<QString>(kSlots);
        for (unsigned first = 0; first < 128; ++first) {
            characters[first * 2] = char16_t(first);
            (*built)[first]
                = QString::fromRawData(reinterpret_cast<const QChar *>(characters + first * 2), 1);
            for (unsigned second = 0; second < 128; ++second) {
                const size_t slot = slotOf(first, second, 2);
                characters[slot * 2] = char16_t(first);
                characters[slot * 2 + 1] = char16_t(second);
                (*built)[slot]
                    = QString::fromRawData(reinterpret_cast<const QChar *>(characters + slot * 2), 2);
            }
        }
        return built;
    }();
    return *texts;
}

} // namespace

const QString &SharedTexts::shared(QStringView text)
{
    const unsigned first = text[0].unicode();
    const unsigned second = text.size() > 1 ? text[1].unicode() : 0;
    return table()[slotOf(first, second, text.size())];
}

const QString *SharedTexts::find(const char *data, qsizetype size)
{
    if (size < 1 || size > kMaxSize)
        return nullptr;
    const auto first = static_cast<unsigned char>(data[0]);
    const auto second = size > 1 ? static_cast<unsigned char>(data[1]) : 0u;
    if ((first | second) >= 0x80)
        return nullptr;
    return &table()[slotOf(first, second, size)];
}
