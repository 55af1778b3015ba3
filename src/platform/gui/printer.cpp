#include "platform/gui/printer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/text_codec.h"
#include "platform/system/files.h"
#include "platform/system/temp_files.h"

namespace gui {

// ---- Pages -----------------------------------------------------------------


PageDC::~PageDC() {
  if (started_) EndDoc();
}

bool PageDC::StartDoc(const std::string& name) {
  if (started_) return false;
  SetDocName(name);
  started_ = true;
  pages_ = 0;
  return true;
}

bool PageDC::StartPage() {
  if (!started_ || inPage_) return false;
  if (pages_ == 0) {
    // The painter opens with the first page.
    if (!Begin(Device())) return false;
  } else if (!NewPage()) {
    return false;
  }
  inPage_ = true;
  ++pages_;
  return true;
}

bool PageDC::EndPage() {
  if (!inPage_) return false;
  inPage_ = false;
  return true;
}

bool PageDC::EndDoc() {
  if (!started_) return false;
  inPage_ = false;
  started_ = false;
  End();
  return true;
}

void PageDC::AbortDoc() {
  Abort();
  inPage_ = false;
  started_ = false;
  End();
}

void PageDC::SetPageGeometry(int physWidth, int physHeight, int offsetX, int offsetY) {
  SetPhysicalPage(physWidth, physHeight, offsetX, offsetY);
}

// ---- Printer ---------------------------------------------------------------

PrinterDC::PrinterDC(const std::string& printerName, bool landscape)
    : own_(std::make_unique<QPrinter>(QPrinter::HighResolution)), printer_(own_.get()) {
  if (!printerName.empty()) printer_->setPrinterName(ToQString(printerName));
  Prepare(landscape);
}

PrinterDC::PrinterDC(MPrinter& printer, bool landscape) : printer_(printer.Printer()) { Prepare(landscape); }

void PrinterDC::Prepare(bool landscape) {
  printer_->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  const QRect paper = printer_->paperRect(QPrinter::DevicePixel).toRect();
  const QRect page = printer_->pageRect(QPrinter::DevicePixel).toRect();
  SetPageGeometry(paper.width(), paper.height(), page.x() - paper.x(), page.y() - paper.y());
  AttachDevice(printer_);
}

std::unique_ptr<PrinterDC> PrinterDC::ToFile(const std::string& pdfPath, bool landscape) {
  auto dc = std::make_unique<PrinterDC>(std::string(), landscape);
  dc->printer_->setOutputFormat(QPrinter::PdfFormat);
  dc->printer_->setOutputFileName(ToQString(pdfPath));
  return dc;
}

PrinterDC::~PrinterDC() {
  EndDoc();
}

QPaintDevice* PrinterDC::Device() { return printer_; }
bool PrinterDC::NewPage() { return printer_->newPage(); }
void PrinterDC::SetDocName(const std::string& name) { printer_->setDocName(ToQString(name)); }
void PrinterDC::Abort() { printer_->abort(); }

// ---- The program's printer ---------------------------------------------------

namespace {

// A printout's title as a file name: no folder separator, no control character.
std::string FileNameOf(const std::string& title) {
  std::string name;
  for (char c : title) {
    const unsigned char u = static_cast<unsigned char>(c);
    name += (u < 32 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"') ? '_' : c;
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  return (name.empty() ? std::string("impression") : name) + ".pdf";
}

}  // namespace

MPrinter::MPrinter() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  if (!HasSystemPrinter()) SelectPdfPrinter();
}

MPrinter::~MPrinter() = default;

bool MPrinter::HasSystemPrinter() { return !QPrinterInfo::availablePrinters().isEmpty(); }

int MPrinter::ExecPrintDialog(Window* owner, const std::string& caption) {
  bool fileFixed = false;
  const int answer = PrintSetupDialog(owner, *printer_, caption, &fileFixed);
  if (answer == IDOK && printer_->outputFormat() == QPrinter::PdfFormat) asksFile_ = !fileFixed;
  else if (answer == IDOK) asksFile_ = false;
  return answer;
}

void MPrinter::SelectPdfPrinter() {
  printer_->setOutputFormat(QPrinter::PdfFormat);
  asksFile_ = true;
}

bool MPrinter::SelectPrinter(const std::string& name) {
  QString wanted = ToQString(name);
  if (wanted.compare(QString::fromLatin1(kPdfPrinterName), Qt::CaseInsensitive) == 0) {
    SelectPdfPrinter();
    return true;
  }
  if (wanted.isEmpty()) {
    wanted = QPrinterInfo::defaultPrinter().printerName();
    if (wanted.isEmpty()) {
      SelectPdfPrinter();
      return true;
    }
  } else if (QPrinterInfo::printerInfo(wanted).isNull()) {
    return false;
  }
  asksFile_ = false;
  printer_->setOutputFileName(QString());
  printer_->setOutputFormat(QPrinter::NativeFormat);
  printer_->setPrinterName(wanted);
  return true;
}

void MPrinter::SetOutputFile(const std::string& pdfPath) {
  if (pdfPath.empty()) {
    printer_->setOutputFileName(QString());
    printer_->setOutputFormat(QPrinter::NativeFormat);
    asksFile_ = false;
    if (!HasSystemPrinter()) SelectPdfPrinter();
    return;
  }
  printer_->setOutputFormat(QPrinter::PdfFormat);
  printer_->setOutputFileName(ToQString(pdfPath));
  asksFile_ = false;
}

bool MPrinter::PrintsToFile() const {
  return printer_->outputFormat() == QPrinter::PdfFormat && (asksFile_ || !printer_->outputFileName().isEmpty());
}

std::string MPrinter::OutputFile() const { return PrintsToFile() ? FromQString(printer_->outputFileName()) : ""; }

std::string MPrinter::DeviceName() const {
  return PrintsToFile() ? std::string("PDF") : FromQString(printer_->printerName());
}

std::string MPrinter::OutputName() const {
  if (!PrintsToFile()) return FromQString(printer_->printerName());
  return OutputFile().empty() ? std::string(kPdfPrinterName) : OutputFile();
}

std::string MPrinter::DriverName() const {
  if (PrintsToFile()) return "PDF";
  const QPrinterInfo info = QPrinterInfo::printerInfo(printer_->printerName());
  return info.isNull() ? std::string() : FromQString(info.makeAndModel());
}

MPrinter::PageArea MPrinter::PrintableArea(bool landscape) const {
  QPageLayout layout = printer_->pageLayout();
  layout.setOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  const QRectF paint = layout.paintRect(QPageLayout::Millimeter);
  PageArea area;
  if (paint.width() < 10 || paint.height() < 10) {
    if (landscape) std::swap(area.width, area.height);
    return area;
  }
  area.width = paint.width();
  area.height = paint.height();
  area.left = paint.x();
  area.top = paint.y();
  return area;
}

MPrinter::Settings MPrinter::Current() const {
  Settings s;
  s.name = FromQString(printer_->printerName());
  s.toFile = PrintsToFile();
  s.file = OutputFile();
  s.asksFile = asksFile_;
  return s;
}

void MPrinter::Restore(const Settings& settings) {
  if (settings.toFile) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(ToQString(settings.file));
    asksFile_ = settings.asksFile;
    return;
  }
  printer_->setOutputFileName(QString());
  printer_->setOutputFormat(QPrinter::NativeFormat);
  asksFile_ = false;
  if (!settings.name.empty()) printer_->setPrinterName(ToQString(settings.name));
}

bool MPrinter::AskFile(const std::string& title, Window* owner, const std::string& folder) {
  // The last file chosen proposes its folder; the printout's title names the new one.
  std::string start = FromQString(printer_->outputFileName());
  const std::size_t slash = start.rfind('/');
  start = slash != std::string::npos ? start.substr(0, slash + 1) : folder;
  if (!start.empty() && start.back() != '/') start += '/';
  std::string path;
  if (!GetSaveFileName(owner, "Imprimer dans un fichier PDF", "Fichiers PDF|*.pdf", start + FileNameOf(title), path))
    return false;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) path += ".pdf";
  printer_->setOutputFileName(ToQString(path));
  return true;
}

MPrinter::PrintResult MPrinter::Print(Printout& printout, Window* owner, const std::string& folder) {
  pagesPrinted_ = 0;
  failureError_ = 0;
  if (asksFile_ && printer_->outputFormat() == QPrinter::PdfFormat && !AskFile(printout.Title(), owner, folder))
    return PrintResult::kNothing;
  // The PDF file, whether asked now or fixed by the set-up, is never one the program needs.
  const bool toFile = printer_->outputFormat() == QPrinter::PdfFormat;
  const QString chosen = printer_->outputFileName();
  if (toFile) {
    const std::string refusal = CheckWriteTarget(FromQString(chosen));
    if (!refusal.empty()) {
      MessageBox(owner, refusal, "Imprimer dans un fichier PDF", MB_OK | MB_ICONSTOP);
      return PrintResult::kNothing;
    }
  }
  // The PDF is made under a name of its own beside the file chosen and renamed over it once
  // whole: a file chosen that has other names (a hard link) is replaced, never written through,
  // a printout that fails leaves the file as it was, and the name itself is never opened (a pipe
  // put there after the check is replaced, never waited on).
  platform::TemporaryFile aside;
  const bool besides = toFile && !chosen.isEmpty();
  if (besides) {
    const std::string target = FromQString(chosen);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    if (!aside.Create(target.substr(slash + 1) + ".", folder)) {
      failureError_ = aside.Error();
      return PrintResult::kDeviceFailed;
    }
    printer_->setOutputFileName(ToQString(aside.Path()));
  }
  bool failed = false;
  {
    PrinterDC dc(*this, printout.Landscape());
    if (!dc.StartDoc(printout.Title())) {
      failed = true;
    } else if (!printout.BeginPrinting(dc)) {
      dc.AbortDoc();
      printout.EndPrinting();
    } else {
      int from = 1, to = 1;
      printout.GetPageRange(from, to);
      for (int page = std::max(from, 1); page <= to; ++page) {
        if (!printout.HasPage(page)) break;
        if (!dc.StartPage()) {
          failed = true;
          break;
        }
        printout.PrintPage(page, dc);
        dc.EndPage();
        ++pagesPrinted_;
      }
      // A document without a page is not made at all.
      if (failed || pagesPrinted_ == 0) dc.AbortDoc();
      else dc.EndDoc();
      printout.EndPrinting();
    }
  }
  if (besides) {
    printer_->setOutputFileName(chosen);
    if (!failed && pagesPrinted_ > 0 && !aside.Place(FromQString(chosen))) {
      failed = true;
      failureError_ = aside.Error();
    }
  }
  if (failed) return PrintResult::kDeviceFailed;
  return pagesPrinted_ == 0 ? PrintResult::kNothing : PrintResult::kPrinted;
}

// ---- PDF -------------------------------------------------------------------

PdfDC::PdfDC(const std::string& path, bool landscape, int dpi)
    : writer_(std::make_unique<QPdfWriter>(ToQString(path))) {
  writer_->setResolution(dpi > 0 ? dpi : 300);
  writer_->setPageSize(QPageSize(QPageSize::A4));
  writer_->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  writer_->setPageMargins(QMarginsF(0, 0, 0, 0));
  writer_->setCreator(QStringLiteral("Merlon"));
  SetPageGeometry(writer_->width(), writer_->height(), 0, 0);
  AttachDevice(writer_.get());
}

PdfDC::~PdfDC() { EndDoc(); }

QPaintDevice* PdfDC::Device() { return writer_.get(); }
bool PdfDC::NewPage() { return writer_->newPage(); }
void PdfDC::SetDocName(const std::string& name) { writer_->setTitle(ToQString(name)); }

}  // namespace gui
