#pragma once
// The texts the windows show beyond the form's own captions, in the language of the start form's
// choice: the plot menu, the dialogs and their buttons, the notes and legends.
#include <QString>
#include <cstdint>

namespace zarn::ui {

enum class Text {
  // The plot menu.
  kSaveGraph,
  kSaveTable,
  kCopyGraph,
  kClearStyle,
  kOpenParams,
  kSaveParams,
  kResultsFolder,
  kKeepRun,
  kClearKept,
  kOpenMeasured,
  kClearMeasured,
  kEuler,
  kRungeKutta4,
  kDormandPrince,
  kPhysicalWind,
  kCheckStep,
  // File dialogs: their titles and the file types they offer.
  kSaveGraphTitle,
  kSaveTableTitle,
  kOpenParamsTitle,
  kSaveParamsTitle,
  kResultsFolderTitle,
  kOpenMeasuredTitle,
  kGraphFiles,
  kCsvFiles,
  kParamFiles,
  // Dialogs, legends and notes.
  kComputing,
  kCancel,
  kClose,
  kThisRun,
  kMeasured,
  kSameValues,
  kMeasuredMinusComputed,
  kRms,
  kLargest,
  kSkipped,
  kNoTimeInFlight,
  kApex,
  kRange,
  kStartRefused,
  kRunCancelled,
  kClassicWind,
  kFewSamples,
  kFirstStepOnly,
  // The Earth and launch site: the menu's entry, the dialog, the run's note.
  kEarthEntry,
  kEarthTitle,
  kEarthModelLabel,
  kEarthFlat,
  kEarthSphere,
  kEarthRotatingSphere,
  kEarthEllipsoid,
  kEarthRadiusLabel,
  kEarthMuLabel,
  kEarthRateLabel,
  kLaunchLatLabel,
  kLaunchLonLabel,
  kAzimuthLabel,
  kCrossWindLabel,
  kAtmosphereLabel,
  kAtmosphereTable,
  kAtmosphereUs76,
  kStandardValue,
  kOk,
  kNotANumber,
  kOutside,
  kBelowZero,
  kEarthNote,
  kAtmosphereNote,
  // One's own vehicle's files.
  kVehicleEntry,
  kVehicleTitle,
  kMotorLabel,
  kCdTableLabel,
  kCdTableStageLabel,
  kWindTableLabel,
  kPitchTableLabel,
  kChooseFile,
  kClearFile,
  kNoFile,
  kMotorView,
  kTableView,
  kWithCrossWind,
  kMach,
  kHeight,
  kTime,
  kOpenVehicleTitle,
  kMotorFiles,
  kMotorInStage,
  kCount
};

// The text in Russian for LangCode 1, English for 3, else German (the form's own language).
QString Words(Text text, int32_t LangCode);

// The toolkit's own texts (the buttons and labels of file dialogs and message boxes) in the same
// language, where the toolkit's translations are installed; English otherwise.
void SpeakToolkit(int32_t LangCode);

}  // namespace zarn::ui
