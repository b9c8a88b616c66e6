// The "Om..." button.

#include "app/Trovan.h"

void Trovan::Command3_Click() {}
