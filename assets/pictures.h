#pragma once
// The forms' pictures, compiled into the program as Qt resources (target zarn::assets).
// Load them with QPixmap/QImage from these paths; no file is read from disk.
#include <array>
#include <cstdint>

namespace zarn {

// Title artwork of the start form, also the plot area's picture until the first graph; 770 x 515.
inline constexpr char kBackgroundPicture[] = ":/pictures/background.jpg";
// Three flags with the language names, level with the R/D/E items of the language group; 314 x 193.
inline constexpr char kLanguagePicture[] = ":/pictures/language.jpg";

// The task sketches of the calculation form (270 x 147 each); which task shows which is the
// form's business.
struct TaskPicture {
  const char* Control;   //!< the picture control that holds it
  const char* Resource;  //!< resource path
};
inline constexpr std::array<TaskPicture, 5> kTaskPictures{{
    {"Image2", ":/pictures/task_ballistic.jpg"},
    {"Image3", ":/pictures/task_buoyant.jpg"},
    {"Image4", ":/pictures/task_descent.jpg"},
    {"Image5", ":/pictures/task_profile.jpg"},
    {"Image6", ":/pictures/task_rocket.jpg"},
}};

// Registers the resources. Linking zarn::assets already does this at static initialisation;
// calling it as well is harmless and keeps the pictures even if a linker drops that step.
void InitPictures();

}  // namespace zarn
