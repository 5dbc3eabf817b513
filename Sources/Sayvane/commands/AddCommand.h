#pragma once

#include <QString>

// `sayvane --add TEXT`: adds a quote to the file and saves.
namespace AddCommand {

int run(const QString& text);

} // namespace AddCommand
