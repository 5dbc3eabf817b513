#pragma once

#include <QString>

// `sayvane --import FILE`: adds the quotes of a text or fortune file that are not there yet.
namespace ImportCommand {

int run(const QString& path);

} // namespace ImportCommand
