#include "assets/pictures.h"

#include <QtCore/qresource.h>

// Q_INIT_RESOURCE declares the generated function, which lives in the global namespace.
static void InitPicturesResource() {
  Q_INIT_RESOURCE(pictures);
}

namespace zarn {

void InitPictures() {
  InitPicturesResource();
}

}  // namespace zarn
