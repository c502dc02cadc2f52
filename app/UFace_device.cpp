// Handlers of the device operations: filled in with those operations.
#include "app/UFace.h"

namespace zir {
void TFace::actReadCurrentExecute() {}
void TFace::TimerTimer() {}
void TFace::CB_RefreshClick() {}
void TFace::actSetRazmernostExecute() {}
void TFace::N11Click() {}
void TFace::N12Click() {}
void TFace::N13Click() {}
void TFace::N14Click() {}
void TFace::actSetKoeffExecute() {}
void TFace::actSetParamsExecute() {}
} // namespace zir
