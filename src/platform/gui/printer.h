// Printing device contexts: a printer (QPrinter) and a PDF file
// (QPdfWriter), both driven as documents of pages: StartDoc, StartPage,
// drawing, EndPage, ..., EndDoc (or AbortDoc). Coordinates are device
// pixels at the device's resolution (GetDeviceCaps LOGPIXELSX) from the
// printable area's corner; a mapping mode scales them.
#pragma once

#include <memory>
#include <string>

#include "platform/gui/dc.h"

class QPrinter;
class QPdfWriter;

namespace gui {

class PageDC : public DC {
 public:
  ~PageDC() override;
  // Returns false when the device cannot start the document.
  bool StartDoc(const std::string& documentName);
  bool StartPage();
  bool EndPage();
  bool EndDoc();
  void AbortDoc();
  int PageCount() const { return pages_; }

 protected:
  PageDC() = default;
  virtual QPaintDevice* Device() = 0;
  // Moves the device to a new page (after the first).
  virtual bool NewPage() = 0;
  virtual void SetDocName(const std::string& name) {}
  virtual void Abort() {}
  void SetPageGeometry(int physWidth, int physHeight, int offsetX, int offsetY);

 private:
  bool started_ = false;
  bool inPage_ = false;
  int pages_ = 0;
};

// A printer by name ("" = the default printer), in portrait or landscape.
class PrinterDC : public PageDC {
 public:
  explicit PrinterDC(const std::string& printerName = {}, bool landscape = false);
  // Prints into a PDF file through the printer path (for previews and tests).
  static std::unique_ptr<PrinterDC> ToFile(const std::string& pdfPath, bool landscape = false);
  ~PrinterDC() override;
  QPrinter* Printer() const { return printer_.get(); }

 protected:
  QPaintDevice* Device() override;
  bool NewPage() override;
  void SetDocName(const std::string& name) override;
  void Abort() override;

 private:
  std::unique_ptr<QPrinter> printer_;
};

// A PDF file on A4 paper at `dpi` pixels per inch.
class PdfDC : public PageDC {
 public:
  explicit PdfDC(const std::string& path, bool landscape = false, int dpi = 300);
  ~PdfDC() override;

 protected:
  QPaintDevice* Device() override;
  bool NewPage() override;
  void SetDocName(const std::string& name) override;

 private:
  std::unique_ptr<QPdfWriter> writer_;
};

}  // namespace gui
