#pragma once
// What the two windows share: the start form's choices, which the calculation form reads when it
// is activated. Owned by the program's entry and alive as long as the windows; touched only on
// the event thread.
#include <cstdint>

#include "input/vehicle_files.h"
#include "records/flight_data.h"

namespace zarn::ui {

struct WindowState {
  int32_t LangCode = 0;                 //!< 0 none, 1 Russian, 2 German, 3 English
  int32_t TaskChoice = 0;               //!< 0 none, else chosen task item + 1
  PresetRecordSlots PresetRecord = {};  //!< what the chosen preset or parameter file gives
  VehiclePaths Vehicle = {};            //!< the vehicle's files START reads; "" none
  bool operator==(const WindowState&) const = default;
};

}  // namespace zarn::ui
