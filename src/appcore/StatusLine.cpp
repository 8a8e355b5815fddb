#include "appcore/StatusLine.h"

#include <stdexcept>

#include "appcore/Maker.h"
#include "runtime/TimeText.h"

namespace hourlink {

std::string StatusText(int k, DateTime now, const FormatSettings& format) {
    switch (k) {
    case 0:
        return std::string("Pellandra-Ossilo ") + kMakerWebAddress;
    case 1:
        return std::string("Pellandra-Ossilo ") + kMakerContactAddress + " - " + kMakerSecondAddress;
    case 2:
        return kProgramTitle;
    case 3:
        return "Data e ora: " + DateTimeText(now, format);
    default:
        throw std::out_of_range("status text " + std::to_string(k));
    }
}

std::string StatusRotation::NextText(DateTime now, const FormatSettings& format) {
    return StatusText(m_random.RandomIndex(kStatusTextCount), now, format);
}

} // namespace hourlink
