#pragma once
// Small builders shared by the two forms: every control sits at a fixed place given in pixels of
// the form's client area, as the forms were designed, so there are no layouts here.
#include <QColor>
#include <QFont>
#include <QFrame>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;

namespace zarn::ui {

// The forms were drawn for "MS Sans Serif" and "Verdana" at pixel heights; DejaVu Sans is the
// plain sans-serif face every target machine has, used at the same pixel heights.
QFont FormFont(int pixelSize, bool bold = false);

// A plain panel: a frame with the given bevel, optionally filled with a colour.
QFrame* MakePanel(QWidget* parent, const char* name, QRect geometry, QFrame::Shadow bevel,
                  QColor fill = QColor());

// A picture control showing a JPEG from the resources unscaled from its top-left corner. A picture
// missing from the resources leaves the control empty.
QLabel* MakePicture(QWidget* parent, const char* name, QRect geometry, const QString& resource);

// A push button with its caption and font.
QPushButton* MakeButton(QWidget* parent, const char* name, QRect geometry, const QString& caption,
                        const QFont& font);

// A radio group: a framed box (with a caption unless it is empty) whose items stand one under the
// other, each row as tall as the box allows. `onChoice` receives the index of the item that
// became selected; selecting the item that already is selected reports nothing.
QGroupBox* MakeRadioGroup(QWidget* parent, const char* name, QRect geometry, const QString& caption,
                          const QStringList& items, std::function<void(int)> onChoice);

// Sets the caption of a label or button. A label that does not wrap takes the size of its text.
void SetCaption(QWidget* control, const QString& caption);

}  // namespace zarn::ui
