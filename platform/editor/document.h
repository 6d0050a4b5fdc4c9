// Documents and the document manager. A document owns its drawing database,
// its input point manager and its queue of command strings. One document is
// current at a time; its database is the working database.
#pragma once

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/editor/inputpoint.h"

namespace cad {
class Database;
class TransactionManager;
}

namespace ed {

enum class LockMode { None = 0, AutoWrite = 1, NotLocked = 2, Write = 4, ProtectedAutoWrite = 20, Read = 32, Xwrite = 64 };

class Document {
 public:
  explicit Document(std::unique_ptr<cad::Database> db, std::wstring fileName = L"");
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  cad::Database* database() const { return db_.get(); }
  cad::TransactionManager* transactionManager() const;
  InputPointManager& inputPointManager() { return ipm_; }

  // The drawing's file name (native path, empty for an unnamed drawing).
  const std::wstring& fileName() const { return fileName_; }
  void setFileName(const std::wstring& f) { fileName_ = f; }
  // The document's title (the file name without its folder).
  std::wstring docTitle() const;

  int lockCount() const { return lockCount_; }
  LockMode lockMode() const { return lockMode_; }

 private:
  friend class DocumentManager;
  std::unique_ptr<cad::Database> db_;
  std::wstring fileName_;
  InputPointManager ipm_;
  int lockCount_ = 0;
  LockMode lockMode_ = LockMode::None;
};

class DocumentManager {
 public:
  // The current document; the manager makes an empty one on first use, so
  // there is always one.
  Document* curDocument();
  Document* mdiActiveDocument() { return curDocument(); }
  std::vector<Document*> documents() const;

  // Makes doc current (its database becomes the working database).
  bool activateDocument(Document* doc, bool passScript = false);
  bool setCurDocument(Document* doc) { return activateDocument(doc); }

  // A new empty drawing, made current.
  Document* newDocument();
  // Opens a drawing file as a new document and makes it current; null with
  // a message in error when the file cannot be read.
  Document* openDocument(const std::wstring& path, std::wstring& error);
  // Closes a document (not the last one: a new empty one replaces it).
  bool closeDocument(Document* doc);
  // Saves the document to its file (or to path, which becomes its file name).
  bool saveDocument(Document* doc, const std::wstring& path, std::wstring& error);

  // Document locks: counted; unlocking an unlocked document fails.
  bool lockDocument(Document* doc, LockMode mode = LockMode::Write,
                    const wchar_t* globalCmdName = nullptr,
                    const wchar_t* localCmdName = nullptr, bool prompt = true);
  bool unlockDocument(Document* doc);

  // Queues a command string (command names and inputs separated by newlines
  // or blanks) to run after the current command ends, or at once when the
  // editor is idle and no script is running it. Every string is recorded.
  bool sendStringToExecute(Document* doc, const std::wstring& text, bool activate = true,
                           bool wrapUpInactiveDoc = false, bool echo = true);
  const std::vector<std::wstring>& sentStrings() const { return sent_; }
  // Runs the queued strings now (the command runner calls this when the
  // outermost command ends). Returns how many were run.
  int runPendingStrings();
  bool hasPendingStrings() const { return !pending_.empty(); }

  // Resource handles pushed around dialogs: tests check the balance.
  void pushResourceHandle(void* module);
  void popResourceHandle();
  int resourceBalance() const { return resourceDepth_; }
  void* currentResourceHandle() const;

  // Drops every document and starts afresh with one empty drawing (tests).
  void reset();

 private:
  void ensureOne();
  std::vector<std::unique_ptr<Document>> docs_;
  Document* cur_ = nullptr;
  std::deque<std::wstring> pending_;
  std::vector<std::wstring> sent_;
  std::vector<void*> resources_;
  int resourceDepth_ = 0;
  bool running_ = false;
};

DocumentManager& docManager();
// Shorthands for the current document and its database.
Document* curDoc();
cad::Database* curDatabase();

// Splits a command string into input tokens: newlines and blanks end a token
// (as Enter does); two adjacent separators give an empty (Enter) token.
// Escape characters (0x1B, 0x03) become Escape tokens.
std::vector<std::wstring> splitCommandString(const std::wstring& text);

}  // namespace ed
