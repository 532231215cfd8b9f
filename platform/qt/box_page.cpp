#include "box_page.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <utility>

#include "window_rules.h"

namespace quillo::qt {
namespace {

int openMessages = 0;

// Only web addresses go to the user's browser: a page hands over nothing local.
void OpenInBrowser(const QUrl& url) {
  const QString address = url.toString();
  if (rules::IsWebAddress(std::u16string_view(reinterpret_cast<const char16_t*>(address.utf16()),
                                              static_cast<std::size_t>(address.size())))) {
    QDesktopServices::openUrl(url);
  }
}

}  // namespace

bool PageMessageOpen() { return openMessages > 0; }

BoxPage::BoxPage(QWebEngineProfile* profile, Role role, QObject* parent)
    : QWebEnginePage(profile != nullptr ? profile : QWebEngineProfile::defaultProfile(), parent),
      role_(role) {
  connect(this, &QWebEnginePage::featurePermissionRequested, this, &BoxPage::answerPermission);
  connect(this, &QWebEnginePage::featurePermissionRequestCanceled, this,
          [this](const QUrl& origin, Feature) { std::erase(waiting_, origin); });
  connect(this, &QWebEnginePage::newWindowRequested, this, &BoxPage::answerNewWindow);
}

BoxPage::~BoxPage() { endMessage(); }

void BoxPage::answerPermission(const QUrl& origin, Feature feature) {
  if (role_ == Role::Calling && feature == MediaAudioCapture) {
    if (microphoneAllowed_) {
      setFeaturePermission(origin, feature, PermissionGrantedByUser);
    } else if (std::find(waiting_.begin(), waiting_.end(), origin) == waiting_.end()) {
      waiting_.push_back(origin);
    }
    return;
  }
  setFeaturePermission(origin, feature, PermissionDeniedByUser);
}

void BoxPage::allowMicrophone() {
  if (role_ != Role::Calling) return;
  microphoneAllowed_ = true;
  for (const QUrl& origin : std::exchange(waiting_, {})) {
    setFeaturePermission(origin, MediaAudioCapture, PermissionGrantedByUser);
  }
}

void BoxPage::answerNewWindow(QWebEngineNewWindowRequest& request) {
  // Nothing opens in the program; left unanswered, the request is refused. A window the user
  // asked for from a page in sight goes to the user's browser.
  if (role_ == Role::Other && request.isUserInitiated()) OpenInBrowser(request.requestedUrl());
}

void BoxPage::answerDownload(QWebEngineDownloadRequest* download) {
  download->cancel();
  if (role_ == Role::Other) OpenInBrowser(download->url());
}

void BoxPage::javaScriptAlert(const QUrl&, const QString& text) { ask(text, false, nullptr); }

bool BoxPage::javaScriptConfirm(const QUrl&, const QString& text) {
  return ask(text, true, nullptr);
}

bool BoxPage::javaScriptPrompt(const QUrl&, const QString& text, const QString& value,
                               QString* result) {
  *result = value;
  return ask(text, true, result);
}

bool BoxPage::ask(const QString& text, bool cancel, QString* value) {
  QWebEngineView* view = QWebEngineView::forPage(this);
  QWidget* window = view != nullptr ? view->window() : nullptr;
  // A page of a window that is gone or closing gets its answer at once.
  if (window == nullptr || !window->isVisible() || message_ != nullptr) return false;

  QDialog box(window);
  box.setWindowTitle(window->windowTitle());
  auto* layout = new QVBoxLayout(&box);
  auto* label = new QLabel(text, &box);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  // The user can select the text and copy it, with the mouse or from the keyboard.
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  label->setFocusPolicy(Qt::StrongFocus);
  layout->addWidget(label);
  QLineEdit* edit = nullptr;
  if (value != nullptr) {
    edit = new QLineEdit(*value, &box);
    layout->addWidget(edit);
  }
  auto* buttons = new QDialogButtonBox(
      cancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, &box);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  if (edit != nullptr) {
    edit->setFocus();
  } else {
    buttons->button(QDialogButtonBox::Ok)->setFocus();
  }

  // Not modal: the window stays usable, and can be closed, while the page waits. The
  // engine's callback that called us waits too, and with it the engine's other work.
  QEventLoop loop;
  connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
  message_ = &box;
  messageLoop_ = &loop;
  ++openMessages;
  box.show();
  loop.exec();
  --openMessages;
  const bool accepted = box.result() == QDialog::Accepted;
  if (accepted && edit != nullptr) *value = edit->text();
  return accepted;
}

bool BoxPage::endMessage() {
  if (message_ == nullptr) return false;
  message_->reject();
  if (messageLoop_ != nullptr) messageLoop_->quit();
  return true;
}

}  // namespace quillo::qt
