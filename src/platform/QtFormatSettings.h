#pragma once

#include <QLocale>

#include "runtime/FormatSettings.h"

namespace hourlink {

// The regional settings of a locale in the form the program's texts use.
[[nodiscard]] FormatSettings FormatSettingsFromLocale(const QLocale& locale);

} // namespace hourlink
