// The result tables of one run are one set: they are built in a work folder
// of the project folder and moved into the project folder together, only
// when the whole run has ended well. Before the first move a commit record
// (the tables, in the order they are moved, each marked whether a previous
// table stands in its place) is written into the work folder; the previous
// tables are moved aside into the work folder as the new ones come in; the
// record goes last. A run killed during the moves leaves the record behind:
// the next project open or run finishes the moves (or, when they cannot be
// finished, moves the previous tables back), so the project holds the
// previous set or the new one, never a mix.
#pragma once

#include <string>

// The folder the result tables of the running run are written into: the
// run's work folder while a RunResultSet lives, else the project folder.
std::wstring ResultFolderPath();

class RunResultSet {
 public:
  // Finishes whatever set a killed run left, then makes the empty work
  // folder `name` in the project folder; result tables go there while this
  // lives. The work folder is removed when this ends.
  explicit RunResultSet(const wchar_t* name);
  ~RunResultSet();
  RunResultSet(const RunResultSet&) = delete;
  RunResultSet& operator=(const RunResultSet&) = delete;

  // False when the work folder could not be made (failure says why).
  bool ready(std::wstring& failure) const;
  const std::wstring& folder() const { return work_; }
  // Moves every table of the work folder (.DB and .MB files) into the
  // project folder; false, with the message in failure, when the set could
  // not be put in place, and then the previous tables stand as they were.
  bool commit(std::wstring& failure);

 private:
  std::wstring project_, work_;
  bool ready_ = false;
};

// At project open (and before each run): finishes the move of a set that a
// killed run left behind, or undoes it, removes the work folders of runs and
// the temporary files the table library left beside the project's tables
// when the process writing them was killed.
void SettleLeftResultSets(const std::wstring& projectFolder);
