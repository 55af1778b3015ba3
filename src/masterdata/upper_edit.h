// An entry field that upper-cases the letters typed into it (the code fields of the forms and of the new-code
// dialog, the IBAN).
#pragma once

#include "controls/medit.h"

class MUpperEdit : public MEdit {
 public:
  using MEdit::MEdit;

 protected:
  // A small letter goes in as its capital, within the field's width; every other key is MEdit's.
  void EvChar(unsigned ch, unsigned repeat, unsigned flags) override;
};
