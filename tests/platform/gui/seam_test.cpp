#include <QLabel>
#include <QTextLayout>
#include <QWidget>

#include <string>

#include "gui_test_support.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/window.h"

using namespace gui;

namespace {

class SeamTest : public GuiTest {};

TEST_F(SeamTest, QueuedAnswersAreTakenInOrderAndRecorded) {
  ModalSeam::QueueMessageBoxAnswer(IDNO);
  ModalSeam::QueueMessageBoxAnswer(IDYES);
  const std::string text = "\n\n\nVoulez-vous vraiment supprimer\n\n- OUI = TOUS\n\n\n";
  EXPECT_EQ(MessageBox(text, "Nuv-Merlon", MB_YESNOCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON3), IDNO);
  EXPECT_EQ(MessageBox("Second", "ATTENTION", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDYES);
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(ModalSeam::Shown()[0].text, text) << "blank lines are kept";
  EXPECT_EQ(ModalSeam::Shown()[0].defaultButton, IDCANCEL);
}

TEST_F(SeamTest, UnqueuedBoxNeverBlocksAndAnswersCancelOrDefault) {
  struct Case { unsigned style; int answer; };
  for (Case c : {Case{MB_YESNOCANCEL | MB_DEFBUTTON1, IDCANCEL}, Case{MB_YESNO | MB_DEFBUTTON2, IDNO},
                 Case{MB_YESNO | MB_DEFBUTTON3, IDYES}}) {  // default beyond the set: first button
    EXPECT_EQ(MessageBox("x", "y", c.style), c.answer) << std::hex << c.style;
    ASSERT_NE(ModalSeam::LastShown(), nullptr);
    EXPECT_FALSE(ModalSeam::LastShown()->queued);
  }
}

TEST_F(SeamTest, DialogAnswerFillsTheDialogFirst) {
  Window dialog;
  ASSERT_TRUE(dialog.Create());
  bool filled = false;
  ModalSeam::QueueDialogAnswer(IDOK, [&](Window& d) {
    filled = &d == &dialog;
    // A modal opened from the dialog is recorded after it.
    MessageBox("inner", "x", MB_OK);
  });
  ShownModal shown;
  shown.resourceId = 1234;
  int r = ModalSeam::RunDialog(dialog, shown, [] { return IDCANCEL; });
  EXPECT_EQ(r, IDOK);
  EXPECT_TRUE(filled);
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(ModalSeam::Shown()[0].resourceId, 1234);
  EXPECT_EQ(ModalSeam::Shown()[1].text, "inner");
  EXPECT_EQ(ModalSeam::RunDialog(dialog, shown, [] { return IDOK; }), IDCANCEL) << "unqueued: cancel";
}

// Built boxes: the test sees the real box, which then takes the queued answer
// (or its way out) from inside its own loop.
TEST_F(SeamTest, BuiltBoxesAreShownAndTakeTheirAnswerFromTheirLoop) {
  std::vector<std::string> seen;
  ModalSeam::BuildMessageBoxes([&](QWidget* box) {
    seen.push_back(box->windowTitle().toStdString() + (box->isVisible() ? " shown" : " hidden"));
  });
  ModalSeam::QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(MessageBox("Texte", "Premier", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBox("Texte", "Second", MB_OKCANCEL), IDCANCEL) << "unqueued: its way out";
  EXPECT_EQ(seen, (std::vector<std::string>{"Premier shown", "Second shown"}));
  ASSERT_EQ(ModalSeam::Shown().size(), 2u);
  EXPECT_TRUE(ModalSeam::Shown()[0].queued);
  ModalSeam::Reset();  // back to answering without a box
  EXPECT_EQ(MessageBox("Texte", "Trois", MB_OK), IDOK);
  EXPECT_EQ(seen.size(), 2u);
}

// A long sentence wrapped by its box never cuts an amount grouped by threes between two lines,
// wherever the wrap falls in it; what the seam records keeps its plain blanks.
TEST_F(SeamTest, AWrappedBoxNeverCutsAGroupedAmount) {
  int wrapped = 0;
  for (int words = 0; words < 24; ++words) {
    std::string text;
    for (int i = 0; i < words; ++i) text += "mot ";
    text += "La case 136 du Bilan ne peut recevoir que 99 999 999 999,99 au plus (et -9 999 999 999,99 au moins), "
            "mais le calcul lui donne -119 999 975 721,67 euros : le Bilan n'a pas \xE9t\xE9 modifi\xE9.";
    std::vector<std::string> cuts;
    bool wraps = false;
    ModalSeam::BuildMessageBoxes([&](QWidget* box) {
      for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->wordWrap()) continue;
        wraps = true;
        QTextLayout layout(label->text(), label->font());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
          line.setLineWidth(label->width());
        layout.endLayout();
        for (int i = 1; i < layout.lineCount(); ++i) {
          const int at = layout.lineAt(i).textStart();
          QString before = label->text().left(at);
          while (!before.isEmpty() && before.back().isSpace()) before.chop(1);
          if (!before.isEmpty() && before.back().isDigit() && at < label->text().size() && label->text()[at].isDigit())
            cuts.push_back(label->text().mid(std::max(0, at - 8), 16).toStdString());
        }
      }
    });
    MessageBox(text, "Nuv-Merlon", MB_OK | MB_ICONHAND);
    ASSERT_NE(ModalSeam::LastShown(), nullptr);
    EXPECT_EQ(ModalSeam::LastShown()->text, text);
    ModalSeam::Reset();
    wrapped += wraps;
    EXPECT_EQ(cuts, std::vector<std::string>{}) << words << " words before";
  }
  EXPECT_GT(wrapped, 0) << "no box wrapped its sentence";
}

}  // namespace
