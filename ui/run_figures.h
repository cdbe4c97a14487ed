#pragma once
// The key figures of a run as the calculation form shows them after START, in its language.
#include <QString>
#include <cstdint>
#include <string_view>

#include "flight/key_figures.h"
#include "records/flight_data.h"
#include "records/language.h"

namespace zarn::ui {

// One figure a line, "Flugzeit: 14.1 s", in the language of LangCode (records/language.h).
// A flight that ends at the ground gives the time and range of its impact, one that ends by time
// those of its last step; the apex height comes with its time where the flight has an apex.
// Times, range and apex height take the units that the run's table and graphs use; a number shows
// at least 4 significant digits and every digit before the decimal separator.
// A unit's symbol ("m/s", "km") as the window writes it in `language`.
QString UnitIn(std::string_view symbol, Language language);

QString FiguresText(const KeyFigures& figures, const UnitFlags& units, int32_t LangCode,
                    char decimalSeparator);

}  // namespace zarn::ui
