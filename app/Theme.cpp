#include "app/Theme.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

void applyTheme(QApplication &app)
{
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
    const QColor ink(0x2b, 0x1d, 0x3a);
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xf4, 0xef, 0xf9));
    p.setColor(QPalette::WindowText, ink);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xec, 0xe4, 0xf5));
    p.setColor(QPalette::Text, ink);
    p.setColor(QPalette::Button, QColor(0xe6, 0xdb, 0xf2));
    p.setColor(QPalette::ButtonText, ink);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(0x8e, 0x5f, 0xbf));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe6));
    p.setColor(QPalette::ToolTipText, ink);
    p.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x7d, 0x99));
    p.setColor(QPalette::Light, QColor(0xfb, 0xf8, 0xfe));
    p.setColor(QPalette::Midlight, QColor(0xe0, 0xd3, 0xee));
    p.setColor(QPalette::Mid, QColor(0xa8, 0x94, 0xc2));
    p.setColor(QPalette::Dark, QColor(0x6f, 0x58, 0x8f));
    p.setColor(QPalette::Shadow, QColor(0x3b, 0x2a, 0x52));
    p.setColor(QPalette::Link, QColor(0x6a, 0x3d, 0x9a));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x9a, 0x90, 0xa6));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x9a, 0x90, 0xa6));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x9a, 0x90, 0xa6));
    QApplication::setPalette(p);
    // Frames and tabs only: no rule for labels, whose palette carries the highlight.
    app.setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #b79fd6; border-radius: 5px; margin-top: 9px; padding-top: 4px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 9px; padding: 0 4px; color: #5a3d80; font-weight: bold; }"
        "QTabWidget::pane { border: 1px solid #b79fd6; border-radius: 3px; }"
        "QTabBar::tab { background: #e6dbf2; border: 1px solid #b79fd6; padding: 4px 12px; margin-right: 1px;"
        " border-top-left-radius: 4px; border-top-right-radius: 4px; }"
        "QTabBar::tab:selected { background: #ffffff; border-bottom-color: #ffffff; }"
        "QTabBar::tab:hover { background: #f1e9fa; }"
        // The page tabs sit below the pages: rounded at the bottom, 40 pixels high.
        "QTabBar::tab:bottom { border-top-left-radius: 0; border-top-right-radius: 0;"
        " border-bottom-left-radius: 4px; border-bottom-right-radius: 4px; }"
        "QTabBar::tab:bottom:selected { border-bottom-color: #b79fd6; border-top-color: #ffffff; }"
        "QTabWidget#MainPageControl > QTabBar::tab { min-height: 30px; }"
        "QToolButton:checked { background: #b79fd6; border: 1px solid #6f588f; border-radius: 3px; }"
        "QMenuBar { background: #e9def5; }"
        "QMenuBar::item:selected { background: #cdb6e8; }"
        "QStatusBar { background: #e9def5; }"));
}
