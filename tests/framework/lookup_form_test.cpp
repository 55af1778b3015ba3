// Code-field lookups of an edit form: through the "Aide fichier" dialog,
// through the subject's list window (dossier constant 030 "N"), the code
// steps and the balance display.
#include "framework/lookup_dialog.h"
#include "framework/lookup_registry.h"
#include "runtime/numbers.h"
#include "test_subject.h"
#include "support/books_writes.h"

namespace {

using namespace subject;

class LookupFormTest : public SubjectTest {
 protected:
  void SetUp() override {
    SubjectTest::SetUp();
    AddC10("J", "AC", "ACHATS");
    AddC10("J", "BQ", "BANQUE");
    AddC10("J", "BR", "BANQUE 2");
    AddC10("J", "CX", "ANNULE", true);
    AddC10("J", "VT", "VENTES");
    AddC10("J", "ZZ", "ANNULE AUSSI", true);
    AddC10("K", "AA", "AUTRE SORTE");
  }
  // The list, and the form of AC opened from it.
  JournalForm* Form() { return Edit(List(), "AC"); }
};

TEST_F(LookupFormTest, DialogStartsFromTheTextBeforeTheHelpCharacter) {
  JournalForm* form = Form();
  ASSERT_NE(form, nullptr);
  form->refEdit->SetText("B*");
  std::vector<std::string> rows;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&rows](gui::Window& w) {
    auto& d = static_cast<TDAideFichier&>(w);
    for (int i = 0; i < d.List()->GetCount(); ++i) rows.push_back(d.List()->GetString(i));
    d.List()->SetSelIndex(1);
  });
  form->lookup->Click();
  gui::ProcessPendingMessages();
  EXPECT_EQ(form->lastLookup, kLookupFound);
  EXPECT_EQ(rows, (std::vector<std::string>{"BQ\tBANQUE", "BR\tBANQUE 2"}));
  EXPECT_EQ(form->refEdit->GetText(), "BR");
  EXPECT_EQ(form->refName->GetText(), "BANQUE 2");
  form->CmQuitter();
}

TEST_F(LookupFormTest, ListWindowRouteAsksOpensAndAnswers) {
  TheDossierRecord.SetConstant(30, "N");
  JournalForm* form = Form();
  ASSERT_NE(form, nullptr);
  // The list is closed; the form asks for it.
  OpenList()->CmQuitter();
  gui::ProcessPendingMessages();
  ASSERT_EQ(OpenList(), nullptr);

  form->refEdit->SetText("");
  gui::ModalSeam::Reset();
  form->lookup->Click();
  // The request, before anyone reads it: code, position of the asker's
  // handle, the handle, the return command.
  const std::string request = RegistryText(kListSlot + 11, 21);
  EXPECT_EQ(request, std::string("   ") + " 401" + RegistryText(kFormSlot + 1, 10) + "1301");
  EXPECT_EQ(form->lastLookup, kLookupListOpened);
  gui::ProcessPendingMessages();
  JournalList* list = OpenList();
  ASSERT_NE(list, nullptr) << "the list command reached the main window";
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << "no dialog on this route";

  // The user picks VT in the list: the list answers, the form takes it.
  list->SelectCode("VT");
  gui::PostCommand(list->GetHandle(), browse_cmd::Entree);
  gui::ProcessPendingMessages();
  EXPECT_EQ(form->lastLookup, kLookupFound);
  EXPECT_EQ(form->refEdit->GetText(), "VT");
  EXPECT_EQ(form->refName->GetText(), "VENTES");
  EXPECT_EQ(RegistryText(kListSlot + 11, kCodeWidth), "   ") << "the answer is taken";
  form->CmQuitter();
}

// An account the list answers is padded to the chart's width; the balance of
// the current account is debit minus credit, in francs or euros.
TEST_F(LookupFormTest, AccountsAnsweredByTheListArePaddedAndShowTheirBalance) {
  AddRecord(*TableC20, {"40100000", "FOURNISSEURS"});
  TheDossierRecord.SetConstant(30, "N");
  JournalForm* form = Form();
  ASSERT_NE(form, nullptr);
  auto* account = new MEdit(form, 110, 8, 1, MEdit::kText, 0, false);
  auto* name = new MStatic(form, "", 111);
  ASSERT_TRUE(account->Create());
  ASSERT_TRUE(name->Create());
  struct Case {
    const char* answer;
    const char* text;
    char result;
    const char* name;
  };
  const Case cases[] = {
      {"401     ", "40100000", kLookupFound, "FOURNISSEURS"},
      {"512     ", "51200000", kLookupNone, "???"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    // What the list leaves in its slot after "Renvoyer ce code".
    WriteLookupRequest(kAccountListSlot, 8, "", form->OwnSlot + 1, RegistryText(form->OwnSlot + 1, 10), 1302);
    WriteLookupAnswer(kAccountListSlot, 8, c.answer);
    EXPECT_EQ(form->LookupC20Code(account, 1302, name), c.result);
    EXPECT_EQ(account->GetText(), c.text);
    EXPECT_EQ(name->GetText(), c.name);
  }

  Table& t = *TableC20;
  ASSERT_TRUE(t.Seek("C20CODE", "40100000"));
  {
    const test_support::SetUpPermit permit("totaux mis en place");
    ASSERT_TRUE(t.PutFieldNum(17, 1000.0));
    ASSERT_TRUE(t.PutFieldNum(18, 152.45));
    ASSERT_TRUE(t.PutFieldNum(19, 300.0));
    ASSERT_TRUE(t.PutFieldNum(20, 45.73));
  }
  form->ShowAccountBalanceC20(name, false);
  EXPECT_EQ(name->GetText(), std::string("FOURNISSEURS - 700.00 Db Francs"));
  form->ShowAccountBalanceC20(name, true);
  EXPECT_EQ(name->GetText(), std::string("FOURNISSEURS - 106.72 Db Euros"));
  form->CmQuitter();
}

TEST_F(LookupFormTest, CodeSteps) {
  JournalForm* form = Form();
  ASSERT_NE(form, nullptr);
  MEdit* e = form->refEdit;
  gui::Static* l = form->refName;
  // A row with a typed text types it first (the edit clears its step flag);
  // the others step from where the previous row left the edit.
  struct Step {
    const char* what;
    const char* typed;
    bool (CMDIModif::*fn)(MEdit*, const char*, int, gui::Static*);
    bool ok;
    const char* text;
    const char* name;
  };
  const Step steps[] = {
      {"prior after typing: the typed code itself", "BR", &CMDIModif::PriorC10Code, true, "BR", "BANQUE 2"},
      {"first", nullptr, &CMDIModif::FirstC10Code, true, "AC", "ACHATS"},
      {"prior past the first", nullptr, &CMDIModif::PriorC10Code, false, "AC", "???"},
      {"last, a cancelled code after it", nullptr, &CMDIModif::LastC10Code, true, "VT", "VENTES"},
      {"next past the last", nullptr, &CMDIModif::NextC10Code, false, "VT", "???"},
      // Next after typing: the first code at or after the text, whether a code
      // begins with it (the cancelled CX, passed over) or none does.
      {"next after typing the start of a cancelled code", "C", &CMDIModif::NextC10Code, true, "VT", "VENTES"},
      {"next after typing a text no code begins with", "D", &CMDIModif::NextC10Code, true, "VT", "VENTES"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.typed != nullptr) {
      e->SetText(s.typed);
      e->StepFlag = false;
    }
    gui::ResetBeepCount();
    EXPECT_EQ((form->*s.fn)(e, "J", 3, l), s.ok);
    EXPECT_EQ(e->GetText(), s.text);
    EXPECT_EQ(l->GetText(), s.name);
    EXPECT_EQ(gui::BeepCount(), s.ok ? 0 : 1);
  }
  form->CmQuitter();
}

}  // namespace
