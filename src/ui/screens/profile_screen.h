#pragma once

#include <QJsonObject>
#include <QWidget>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

namespace halvark::ui::screens {

// The signed-in account's details, balance, flags and donate roles.
class ProfileScreen : public QWidget {
  public:
    explicit ProfileScreen(QWidget* parent = nullptr);
    ~ProfileScreen() override;

    void set_on_back(std::function<void()> callback);
    void set_display_name(const QString& name);
    void set_user(const QJsonObject& user_object);
    void retranslate();

    // The balance's unit word for an interface language code.
    static QString currency_word(qint64 amount, const QString& language);

  private:
    void render();
    void add_role_entry(const QJsonObject& role);

    std::function<void()> on_back;
    QString display_name;
    QJsonObject user;
    QPushButton* back_button = nullptr;
    QLabel* title_label = nullptr;
    QLabel* name_label = nullptr;
    QLabel* email_label = nullptr;
    QLabel* uuid_label = nullptr;
    QLabel* role_label = nullptr;
    QLabel* money_label = nullptr;
    QLabel* flags_label = nullptr;
    QLabel* roles_title_label = nullptr;
    QListWidget* roles_list = nullptr;
};

}  // namespace halvark::ui::screens
