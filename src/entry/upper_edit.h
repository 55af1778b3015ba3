// An entry field whose letters are typed as capitals (codes and accounts in the entry forms).
#pragma once

#include "controls/medit.h"

class UpperEdit : public MEdit {
 public:
  using MEdit::MEdit;

 protected:
  void EvChar(unsigned ch, unsigned repeat, unsigned flags) override {
    const char c = static_cast<char>(ch & 0xFF);
    if (ch < 256 && c >= 'a' && c <= 'z') ch = static_cast<unsigned>(c - 'a' + 'A');
    MEdit::EvChar(ch, repeat, flags);
  }
};
