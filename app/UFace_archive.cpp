// Handlers of the archive operations: filled in with those operations.
#include "app/UFace.h"

namespace zir {
void TFace::CB_BankDblClick() {}
void TFace::actGetBankNExecute() {}
void TFace::actReadAllExecute() {}
void TFace::CB_TimeFromClick() {}
void TFace::CB_TimeToClick() {}
} // namespace zir
