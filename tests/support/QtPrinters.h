// Qt values in GoogleTest's messages as text, not as bytes.
#pragma once

#include <QString>
#include <ostream>

void PrintTo(const QString& text, std::ostream* out);
