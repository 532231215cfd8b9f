// The page bridge's wire format: requests to the page side as JSON text, and the short
// answers' numbers. QtCore only.
#pragma once

#include <QString>
#include <QStringView>
#include <string_view>

#include "text.h"

namespace quillo::qt {

QString ToQString(std::string_view text);
Text FromQString(QStringView string);

// Appends a text as a JSON string: the page reads it as data, whatever it holds.
void AppendJsonString(QString& out, QStringView text);

// A request to the page side, written as a JSON object.
class Request {
 public:
  explicit Request(QLatin1StringView op);
  Request& Text(QLatin1StringView key, QStringView value);
  Request& Number(QLatin1StringView key, qint64 value);
  // A value that is JSON already.
  Request& Json(QLatin1StringView key, QStringView json);
  // The finished text, with the releases (["token",id] entries, comma-separated), if any.
  QString Finish(QStringView releases) &&;

 private:
  void Key(QLatin1StringView key);
  QString text_;
};

// A number as the page writes it, with its words for the non-finite ones.
double ParseNumber(QStringView text);

}  // namespace quillo::qt
