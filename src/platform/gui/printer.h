// Printing device contexts: a printer (QPrinter) and a PDF file
// (QPdfWriter), both driven as documents of pages: StartDoc, StartPage,
// drawing, EndPage, ..., EndDoc (or AbortDoc). Coordinates are device
// pixels at the device's resolution (GetDeviceCaps LOGPIXELSX) from the
// printable area's corner; a mapping mode scales them.
#pragma once

#include "platform/gui/window_users.h"

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

class MPrinter;

// A printer by name ("" = the default printer), in portrait or landscape.
class PrinterDC : public PageDC {
 public:
  explicit PrinterDC(const std::string& printerName = {}, bool landscape = false);
  // Draws on the program's printer as it is set up (its device or its file), in the
  // orientation asked; the printer keeps that orientation afterwards.
  PrinterDC(MPrinter& printer, bool landscape);
  // Prints into a PDF file through the printer path (for previews and tests).
  static std::unique_ptr<PrinterDC> ToFile(const std::string& pdfPath, bool landscape = false);
  ~PrinterDC() override;
  QPrinter* Printer() const { return printer_; }

 protected:
  QPaintDevice* Device() override;
  bool NewPage() override;
  void SetDocName(const std::string& name) override;
  void Abort() override;

 private:
  void Prepare(bool landscape);
  std::unique_ptr<QPrinter> own_;
  QPrinter* printer_ = nullptr;
};

// Flags of the printer's set-up dialog (MPrinter::Flags), as the program sets them.
constexpr unsigned long PD_NOSELECTION = 0x00000004;
constexpr unsigned long PD_NOPAGENUMS = 0x00000008;
constexpr unsigned long PD_RETURNDC = 0x00000100;
constexpr unsigned long PD_RETURNDEFAULT = 0x00000400;
constexpr unsigned long PD_HIDEPRINTTOFILE = 0x00100000;

// A document the printer prints: it is asked for its pages one by one.
class Printout {
 public:
  explicit Printout(const std::string& title) : title_(title) {}
  virtual ~Printout() = default;
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // Orientation of the pages (asked before the device context is made).
  virtual bool Landscape() const { return false; }
  // The device context the pages will be drawn on is ready (resolution, printable area);
  // false prints nothing.
  virtual bool BeginPrinting(PageDC& dc) { return true; }
  // The pages to print, first and last.
  virtual void GetPageRange(int& from, int& to) {
    from = 1;
    to = 1;
  }
  // Page `page` exists (a printout may make it here).
  virtual bool HasPage(int page) { return page == 1; }
  virtual void PrintPage(int page, PageDC& dc) = 0;
  // After the last page, printed or not.
  virtual void EndPrinting() {}

 private:
  std::string title_;
};

// The name of the PDF-file printer, offered beside the system's printers.
constexpr const char* kPdfPrinterName = "Fichier PDF";

// The program's printer: a printer chosen by name (or the system's default), or the PDF-file
// printer, with its set-up dialog; printouts are printed on it without a dialog. Where no
// system printer is installed the PDF-file printer is the default. The PDF-file printer asks
// the file of each printout (the file-save dialog), unless a file was fixed (SetOutputFile).
class MPrinter {
 public:
  MPrinter();
  ~MPrinter();
  MPrinter(const MPrinter&) = delete;
  MPrinter& operator=(const MPrinter&) = delete;

  // Flags of the set-up dialog (PD_ values).
  unsigned long Flags = 0;
  // The set-up dialog on this printer: IDOK when accepted.
  int ExecPrintDialog(Window* owner, const std::string& caption);

  // A printer by name ("" the system's default, kPdfPrinterName the PDF-file printer); false
  // when no printer has that name (the printer then stays as it was).
  bool SelectPrinter(const std::string& name);
  // Prints into this PDF file from now on, without asking ("" back to the printer).
  void SetOutputFile(const std::string& pdfPath);
  // The PDF-file printer: each printout asks its file.
  void SelectPdfPrinter();
  // True when the PDF-file printer asks the file of each printout.
  bool AsksFile() const { return asksFile_; }
  // True when the system has a printer installed.
  static bool HasSystemPrinter();
  // Device name (the printer's name, "PDF" for a file), output (the file, or the printer's
  // name), driver (the printer's make and model, "PDF" for a file).
  std::string DeviceName() const;
  std::string OutputName() const;
  std::string DriverName() const;
  bool PrintsToFile() const;
  std::string OutputFile() const;

  // The printable area in millimetres (A4 without margins when the printer gives none).
  struct PageArea {
    double width = 210, height = 297, left = 0, top = 0;
  };
  PageArea PrintableArea(bool landscape) const;

  // What SelectPrinter and SetOutputFile change, to put back later.
  struct Settings {
    std::string name;
    std::string file;
    bool toFile = false;
    bool asksFile = false;
  };
  Settings Current() const;
  void Restore(const Settings& settings);

  // Prints the printout's pages without a dialog; the PDF-file printer first asks the file
  // (owned by `owner`, proposed in `folder` under the printout's title): cancelled, nothing
  // is printed.
  enum class PrintResult { kPrinted, kNothing, kDeviceFailed };
  PrintResult Print(Printout& printout, Window* owner = nullptr, const std::string& folder = {});
  int PagesPrinted() const { return pagesPrinted_; }
  // Why the last Print to a PDF file failed, as the system said it (an errno: a disk read-only or
  // full, a folder this user may not write in); 0 when it did not fail or did not say.
  int FailureError() const { return failureError_; }

  QPrinter* Printer() const { return printer_.get(); }

 private:
  bool AskFile(const std::string& title, Window* owner, const std::string& folder);
  std::unique_ptr<QPrinter> printer_;
  int pagesPrinted_ = 0;
  int failureError_ = 0;
  bool asksFile_ = false;
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
