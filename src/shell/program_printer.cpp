#include "shell/program_printer.h"

#include <memory>

#include "platform/gui/printer.h"

namespace {

std::unique_ptr<gui::MPrinter>& Instance() {
  static std::unique_ptr<gui::MPrinter> printer;
  return printer;
}

}  // namespace

gui::MPrinter* ProgramPrinter() {
  if (!Instance()) Instance() = std::make_unique<gui::MPrinter>();
  return Instance().get();
}

gui::MPrinter* ExistingProgramPrinter() { return Instance().get(); }

void DeleteProgramPrinter() { Instance().reset(); }
