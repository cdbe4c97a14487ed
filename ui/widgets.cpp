#include "ui/widgets.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

namespace zarn::ui {
namespace {

// A radio item that answers a click anywhere in its row, not only on its circle and text.
class RowRadioButton : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace

QFont FormFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QFrame* MakePanel(QWidget* parent, const char* name, QRect geometry, QFrame::Shadow bevel, QColor fill) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setGeometry(geometry);
  panel->setFrameStyle(QFrame::Panel | bevel);
  panel->setLineWidth(1);
  if (fill.isValid()) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, fill);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
  }
  return panel;
}

QLabel* MakePicture(QWidget* parent, const char* name, QRect geometry, const QString& resource) {
  auto* picture = new QLabel(parent);
  picture->setObjectName(QString::fromLatin1(name));
  picture->setGeometry(geometry);
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setPixmap(QPixmap(resource));
  return picture;
}

QPushButton* MakeButton(QWidget* parent, const char* name, QRect geometry, const QString& caption,
                        const QFont& font) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setFont(font);
  return button;
}

QGroupBox* MakeRadioGroup(QWidget* parent, const char* name, QRect geometry, const QString& caption,
                          const QStringList& items, std::function<void(int)> onChoice) {
  auto* box = new QGroupBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(geometry);
  auto* group = new QButtonGroup(box);
  // Items share the height below the caption evenly, each one centred in its row (the language
  // picture places its flags level with these rows).
  const int top = caption.isEmpty() ? 0 : 16;
  const int rowHeight = (geometry.height() - top) / static_cast<int>(items.size());
  for (int i = 0; i < items.size(); ++i) {
    auto* item = new RowRadioButton(items[i], box);
    item->setGeometry(8, top + i * rowHeight, geometry.width() - 12, rowHeight);
    group->addButton(item, i);
  }
  box->setFocusProxy(group->button(0));
  QObject::connect(group, &QButtonGroup::idToggled, box,
                   [onChoice = std::move(onChoice)](int id, bool checked) {
                     if (checked) onChoice(id);
                   });
  return box;
}

void SetCaption(QWidget* control, const QString& caption) {
  if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(caption);
    if (!label->wordWrap()) label->adjustSize();
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(caption);
  }
}

}  // namespace zarn::ui
