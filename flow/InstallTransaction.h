#pragma once
// An install's scripts as one transaction. Their changes below home are
// journaled (see InstallJournal) in a rollback folder beside home, and the
// registration before the install is noted there too. A failure or a
// Cancel undoes both; a success keeps them and deletes the folder. Where
// the folder is stays in the machine's registry while the install runs, so
// the next writing run finds what a killed run left and finishes its
// rollback first.
#include <string>

#include "engine/InstallJournal.h"

class InstallerConfig;

class InstallTransaction {
public:
    explicit InstallTransaction(InstallerConfig& config) : config_(config) {}
    InstallTransaction(const InstallTransaction&) = delete;
    InstallTransaction& operator=(const InstallTransaction&) = delete;

    // Starts the journal. False when it cannot be written: the install must
    // not change anything then.
    [[nodiscard]] bool begin();
    InstallJournal* journal() { return &journal_; }
    // Keeps the install: the originals set aside go.
    void commit();
    // Puts back the files and the registration from before the install.
    // False, with what could not be put back in the log, when some is left
    // for the next run.
    bool rollBack();

private:
    InstallerConfig& config_;
    InstallJournal journal_;
};

// Run once a writing run holds the machine's run lock: finishes the
// rollback of an install that was killed, and logs that it did.
void FinishInterruptedInstall(InstallerConfig& config);
