#include "AboutDialog.h"

#include "BuildInfo.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(tr("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logoLabel"));
    logo->setPixmap(QPixmap(QStringLiteral(":/images/Zund.png")));
    auto* heading = new QLabel(tr("Orvel Application"), this);
    heading->setObjectName(QStringLiteral("headingLabel"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    heading->setFont(headingFont);
    auto* version = new QLabel(tr("Version %1").arg(BuildInfo::versionText()), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    auto* maker = new QLabel(this);
    maker->setPixmap(QPixmap(QStringLiteral(":/images/brisvane.png")));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(logo, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(heading, 0, 1);
    layout->addWidget(version, 1, 1);
    layout->addWidget(maker, 2, 1, Qt::AlignLeft);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
