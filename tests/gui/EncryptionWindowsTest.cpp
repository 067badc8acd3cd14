// The windows of encrypted connections: the Advanced page's encryption controls and the
// Untrusted Certificate dialog. GW_GRAB_DIR, when set, receives a picture of each to look at.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/CHelpPropertySheet.h"
#include "app/gui/HelpIds.h"
#include "nntp/gui/CCertificateDialog.h"
#include "platform/StringIds.h"
#include "servers/CServerRecord.h"
#include "servers/gui/CServerAdvancedPage.h"
#include "servers/gui/CServerGeneralPage.h"

namespace {

using Advanced = CServerAdvancedPage;
using Encryption = CServerRecord::Encryption;

template <class T> T* Control(QWidget* root, uint32_t id) {
    auto* control = qobject_cast<T*>(FindControl(root, id));
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

void Grab(QWidget* widget, const char* name) {
    const QByteArray folder = qgetenv("GW_GRAB_DIR");
    if (!folder.isEmpty())
        widget->grab().save(QString::fromUtf8(folder) + "/" + name + ".png");
}

void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

CertificateDetails Sample() {
    return {"news.example.com",
            "it is self-signed and not trusted",
            "news.example.com",
            "news.example.com",
            "2026-01-01 00:00:00 UTC",
            "2027-01-01 00:00:00 UTC",
            "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF"};
}

class EncryptionWindowsTest : public testing::Test {
  protected:
    void SetUp() override { UseRepositoryHelp(); }
};

TEST_F(EncryptionWindowsTest, ChoosingTlsProposesItsPortOnlyOverTheDefaultOne) {
    CServerRecord::Settings settings;
    CHelpPropertySheet sheet(ids::kAddNewsServer, nullptr);
    std::string name;
    sheet.AddPage(new CServerGeneralPage(name, settings));
    auto* page = new Advanced(settings);
    sheet.AddPage(page);
    sheet.show();
    auto* combo = Control<QComboBox>(page, Advanced::kEncryptionCombo);
    auto* port = Control<QLineEdit>(page, Advanced::kPortEdit);
    auto* verify = Control<QCheckBox>(page, Advanced::kVerifyCheck);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_TRUE(verify->isChecked());
    EXPECT_FALSE(verify->isEnabled());

    Choose(combo, 1);
    EXPECT_EQ(port->text(), "563");
    EXPECT_TRUE(verify->isEnabled());
    Grab(page, "advanced-page");
    // STARTTLS speaks on the plain port; a port the user typed stays.
    port->setText("8119");
    Choose(combo, 2);
    Choose(combo, 1);
    EXPECT_EQ(port->text(), "8119");
    // Use Default gives the port of the chosen encryption.
    QTest::mouseClick(Control<QPushButton>(page, Advanced::kDefaultButton), Qt::LeftButton);
    EXPECT_EQ(port->text(), "563");

    Choose(combo, 2);
    verify->setChecked(false);
    page->Apply();
    EXPECT_EQ(settings.eEncryption, Encryption::StartTls);
    EXPECT_FALSE(settings.bVerifyCertificate);
    EXPECT_EQ(settings.uPort, 563u);
}

TEST_F(EncryptionWindowsTest, PageShowsTheStoredEncryption) {
    CServerRecord::Settings settings;
    settings.eEncryption = Encryption::Implicit;
    settings.bVerifyCertificate = false;
    settings.uPort = 563;
    Advanced page(settings);
    EXPECT_EQ(Control<QComboBox>(&page, Advanced::kEncryptionCombo)->currentText(),
              "TLS from the first byte");
    EXPECT_FALSE(Control<QCheckBox>(&page, Advanced::kVerifyCheck)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(&page, Advanced::kVerifyCheck)->isEnabled());
}

TEST_F(EncryptionWindowsTest, CertificateDialogShowsTheCertificateAndCancelsByDefault) {
    CCertificateDialog dialog(Sample());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.windowTitle(), "Untrusted Certificate");
    EXPECT_EQ(Control<QLabel>(&dialog, CCertificateDialog::kFingerprintField)->text(),
              "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF\n"
              "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF");
    EXPECT_EQ(Control<QLabel>(&dialog, CCertificateDialog::kValidityField)->text(),
              "2026-01-01 00:00:00 UTC to 2027-01-01 00:00:00 UTC");
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("The certificate of news.example.com cannot be verified: it is "
                               "self-signed and not trusted."));
    auto* cancel = Control<QPushButton>(&dialog, 2);
    EXPECT_TRUE(cancel->isDefault());
    EXPECT_EQ(dialog.focusWidget(), cancel);
    Grab(&dialog, "certificate-dialog");
    // Enter takes the default: the certificate stays untrusted.
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

// Long names wrap instead of widening the dialog past a screen.
TEST_F(EncryptionWindowsTest, CertificateDialogWrapsLongNames) {
    CertificateDetails details = Sample();
    details.server = "news-" + std::string(120, 'x') + ".example.com";
    details.subject = "CN=" + details.server + ", O=A Provider With A Very Long Organisation Name";
    details.issuer = "CN=An Intermediate Authority Of Some Length, O=" + std::string(80, 'y');
    CCertificateDialog dialog(details);
    dialog.show();
    EXPECT_LE(dialog.width(), 900);
    Grab(&dialog, "certificate-dialog-long");
}

TEST_F(EncryptionWindowsTest, TrustAnswersYes) {
    WhenOpen([](QWidget* dialog) {
        QTest::mouseClick(Control<QPushButton>(dialog, CCertificateDialog::kTrustButton),
                          Qt::LeftButton);
    });
    EXPECT_TRUE(CCertificateDialog::Ask(Sample(), nullptr));
    WhenOpen([](QWidget* dialog) {
        QTest::mouseClick(Control<QPushButton>(dialog, 2), Qt::LeftButton);
    });
    EXPECT_FALSE(CCertificateDialog::Ask(Sample(), nullptr));
}

} // namespace
