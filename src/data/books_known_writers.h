// Temporary: the writers of the books that are being routed through their change of lines
// (LineChangeSteps) in another piece of work: "Créer Ligne" with its renumbering, "Créer Pièce",
// the analytic split's header, its new line, its renumbering and its refresh. Until then each holds
// this permit, named after itself, for its writes. The class and each use of it go once those
// writers make their changes through LineChangeSteps, which holds the permit itself.
#pragma once

#include <string>

#include "data/books_write_permit.h"

class KnownBooksWriter : public BooksWritePermit {
 public:
  explicit KnownBooksWriter(const char* name) : BooksWritePermit(std::string("provisoire : ") + name) {}
};
