// The subcommands of etatbudget-table. Each takes the arguments after its name and returns
// the exit code (0 done, 1 failed with a French message on standard error).
#pragma once

#include <QStringList>

namespace etb::tools {

int commandCreate(const QStringList& args);     // create DIR
int commandImport(const QStringList& args);     // import DIR FILE.csv
int commandExport(const QStringList& args);     // export DIR
int commandStatement(const QStringList& args);  // statement DIR [--pdf FILE | --png PREFIX]
int commandSample(const QStringList& args);     // sample --pdf FILE | --png PREFIX

// statement DIR with --pdf or --png: the report pages (report_commands.cpp).
int renderStatement(const QString& directory, const QStringList& options);

}  // namespace etb::tools
