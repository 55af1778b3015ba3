#include "platform/gui/printer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

#include "platform/gui/filedialog.h"
#include "platform/gui/text_codec.h"

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

MPrinter::MPrinter() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

MPrinter::~MPrinter() = default;

int MPrinter::ExecPrintDialog(Window* owner, const std::string& caption) {
  return PrintSetupDialog(owner, *printer_, caption);
}

bool MPrinter::SelectPrinter(const std::string& name) {
  QString wanted = ToQString(name);
  if (wanted.isEmpty()) {
    wanted = QPrinterInfo::defaultPrinter().printerName();
  } else if (QPrinterInfo::printerInfo(wanted).isNull()) {
    return false;
  }
  printer_->setOutputFileName(QString());
  printer_->setOutputFormat(QPrinter::NativeFormat);
  printer_->setPrinterName(wanted);
  return true;
}

void MPrinter::SetOutputFile(const std::string& pdfPath) {
  if (pdfPath.empty()) {
    printer_->setOutputFileName(QString());
    printer_->setOutputFormat(QPrinter::NativeFormat);
    return;
  }
  printer_->setOutputFormat(QPrinter::PdfFormat);
  printer_->setOutputFileName(ToQString(pdfPath));
}

bool MPrinter::PrintsToFile() const {
  return printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty();
}

std::string MPrinter::OutputFile() const { return PrintsToFile() ? FromQString(printer_->outputFileName()) : ""; }

std::string MPrinter::DeviceName() const {
  return PrintsToFile() ? std::string("PDF") : FromQString(printer_->printerName());
}

std::string MPrinter::OutputName() const {
  return PrintsToFile() ? OutputFile() : FromQString(printer_->printerName());
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
  return s;
}

void MPrinter::Restore(const Settings& settings) {
  if (settings.toFile) {
    SetOutputFile(settings.file);
    return;
  }
  printer_->setOutputFileName(QString());
  printer_->setOutputFormat(QPrinter::NativeFormat);
  if (!settings.name.empty()) printer_->setPrinterName(ToQString(settings.name));
}

MPrinter::PrintResult MPrinter::Print(Printout& printout) {
  pagesPrinted_ = 0;
  PrinterDC dc(*this, printout.Landscape());
  if (!dc.StartDoc(printout.Title())) return PrintResult::kDeviceFailed;
  if (!printout.BeginPrinting(dc)) {
    dc.AbortDoc();
    printout.EndPrinting();
    return PrintResult::kNothing;
  }
  int from = 1, to = 1;
  printout.GetPageRange(from, to);
  bool failed = false;
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
