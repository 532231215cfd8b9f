// The page of a browser box, and what it may ask of the program.
//
// The calling page may take the microphone (audio alone) from the user's first press of the
// call button on; a request made before that waits and is granted at the press. Every other
// permission, and any permission of any other page, is refused when asked. Page messages
// (alert, confirm, prompt) show as the program's own message box over the window, titled
// with the window's caption, the page's text as plain text; the window stays usable. New
// windows and downloads of the calling page are refused; those of other pages go to the
// user's browser. No request is left waiting otherwise.
#pragma once

#include <QPointer>
#include <QWebEnginePage>
#include <vector>

class QDialog;
class QEventLoop;
class QWebEngineDownloadRequest;
class QWebEngineNewWindowRequest;

namespace quillo::qt {

class BoxPage : public QWebEnginePage {
  Q_OBJECT

 public:
  enum class Role { Other, Calling };

  // profile nullptr: the engine's default profile.
  BoxPage(QWebEngineProfile* profile, Role role, QObject* parent);
  ~BoxPage() override;

  Role role() const { return role_; }

  // The user asked for a call: the calling page has the microphone from now on, and a
  // request that waited gets it now. Does nothing on other pages.
  void allowMicrophone();

  // Answers a download this page started.
  void answerDownload(QWebEngineDownloadRequest* download);

  // Ends this page's open message as if cancelled. True when one was open.
  bool endMessage();

 protected:
  void javaScriptAlert(const QUrl& origin, const QString& text) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& text) override;
  bool javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value,
                        QString* result) override;

 private:
  void answerPermission(const QUrl& origin, Feature feature);
  void answerNewWindow(QWebEngineNewWindowRequest& request);
  // Shows a message and waits for the user; false when cancelled or not shown at all.
  bool ask(const QString& text, bool cancel, QString* value);

  Role role_;
  bool microphoneAllowed_ = false;
  std::vector<QUrl> waiting_;  // origins whose microphone request waits for the press
  QPointer<QDialog> message_;
  QPointer<QEventLoop> messageLoop_;
};

// True while a page message waits for the user. The engine's own work stands still then (its
// callbacks wait on the message), so no page can answer and none counts as hung.
bool PageMessageOpen();

}  // namespace quillo::qt
