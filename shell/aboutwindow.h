#pragma once

#include <QDialog>

#include <memory>

namespace form {
class Form;
}

// frmAbout: product name, version, author and e-mail, shown modally over the window that asked for it.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow();
    ~AboutWindow() override;

    const form::Form& form() const { return *m_form; }

private:
    void buildControls();
    void load();

    std::unique_ptr<form::Form> m_form;
};
