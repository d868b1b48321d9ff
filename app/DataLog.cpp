// Data collection to disk.
#include "MainFormUnit.h"

void TMainForm::sb5Click() {}

void TMainForm::sb6Click() {}

void TMainForm::WriteLogRow(const std::string&) {}

void TMainForm::CloseLogOnExit() {}
