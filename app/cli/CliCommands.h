#pragma once

// The commands of snaprill-cli, each run on a parsed command line.

#include <QString>
#include <string>
#include <vector>

class TCliReport;
class TFileRows;
class TPhoneSession;
struct TCliEnv;
struct TCliOptions;

void runPhones(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runList(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runGet(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runPut(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runRemove(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runExclude(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runMount(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runUnmount(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);
void runDoctor(TCliEnv& Env, const TCliOptions& Options, TCliReport& Report);

// The rows a NAME argument names: the row of that full phone name or, for a
// name without "/", every row of that file name; letter case aside, as the
// exclusion list compares names.
std::vector<int> rowsNamed(const TFileRows& Rows, const std::string& Name);
// Selects the rows the names name, every row when there is none; each name
// that names no row is reported as failed.
void selectNamed(TPhoneSession& Session, const std::vector<std::string>& Names, TCliReport& Report);
