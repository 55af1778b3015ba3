#include "platform/gui/printer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

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
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  if (!printerName.empty()) printer_->setPrinterName(ToQString(printerName));
  printer_->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  const QRect paper = printer_->paperRect(QPrinter::DevicePixel).toRect();
  const QRect page = printer_->pageRect(QPrinter::DevicePixel).toRect();
  SetPageGeometry(paper.width(), paper.height(), page.x() - paper.x(), page.y() - paper.y());
  AttachDevice(printer_.get());
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

QPaintDevice* PrinterDC::Device() { return printer_.get(); }
bool PrinterDC::NewPage() { return printer_->newPage(); }
void PrinterDC::SetDocName(const std::string& name) { printer_->setDocName(ToQString(name)); }
void PrinterDC::Abort() { printer_->abort(); }

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
