// One run over a list of files, the same for the command line and the
// desktop application: each file is converted into the job's output
// folder, turned into a Word document when the job asks for one, and
// reported through the job's FileFinished with its outcome.
#pragma once

#include <string>
#include <vector>

#include "control/convert_para.h"

class CBatchRunner {
public:
    explicit CBatchRunner(CConvertPara* job) : m_pJob(job) {}

    // Converts `files` in order. A cancel stops the run after the file under
    // way; the files after it are reported as not started. A file whose
    // output name an earlier file of the run already has fails with
    // kNameCollision and is not converted. With the job's m_bSkipExisting, a
    // file whose final output exists is reported as skipped. Returns every
    // file's outcome in order.
    //
    // When the job asks for workers (UsesWorkers), each file is converted in
    // a worker process of its own, up to m_nJobs at once; the names are
    // still claimed here, in the order of `files`, so a collision is found
    // whichever worker gets there first. Outcomes then reach FileFinished
    // as the workers end. A worker past the time limit is killed (its
    // Ghostscript dies with it) and its file fails with kTimedOut; one
    // whose memory ran out fails with kOutOfMemory. A stop at once is
    // passed on to every worker as SIGTERM.
    std::vector<CFileOutcome> Run(const std::vector<std::string>& files);

    // The Word step of a finished document: the RTF text stored under the
    // ".doc" name; the outcome's target becomes that name, or its result a
    // failure to write.
    static void MakeWordDocument(CFileOutcome& outcome);

private:
    // Converts `file` in this process (Word step included) and lets the
    // job add what it gathered.
    CFileOutcome ConvertOne(const std::string& file);

    CConvertPara* m_pJob;
};
