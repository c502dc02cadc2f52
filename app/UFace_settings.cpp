// Creates the settings store of the main window: filled in with the store.
#include "app/UFace.h"

namespace zir {
void TFace::CreateFormStorage() {}
} // namespace zir
