#include "platform/editor/document.h"

#include <algorithm>
#include <filesystem>

#include "platform/cad/database.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/editor/detail.h"
#include "platform/editor/input.h"
#include "platform/editor/reactor.h"
#include "platform/os/os.h"

namespace ed {

Document::Document(std::unique_ptr<cad::Database> db, std::wstring fileName)
    : db_(std::move(db)), fileName_(std::move(fileName)) {}

Document::~Document() = default;

cad::TransactionManager* Document::transactionManager() const {
  return db_ ? &db_->transactionManager() : nullptr;
}

std::wstring Document::docTitle() const {
  if (fileName_.empty()) return L"Drawing1.dwg";
  return os::fromUtf8(std::filesystem::path(os::toUtf8(fileName_)).filename().string());
}

void DocumentManager::ensureOne() {
  if (!docs_.empty() && cur_) return;
  if (docs_.empty()) docs_.push_back(std::make_unique<Document>(std::make_unique<cad::Database>(true)));
  cur_ = docs_.front().get();
  cad::setWorkingDatabase(cur_->database());
}

Document* DocumentManager::curDocument() {
  ensureOne();
  return cur_;
}

std::vector<Document*> DocumentManager::documents() const {
  std::vector<Document*> out;
  for (const auto& d : docs_) out.push_back(d.get());
  return out;
}

bool DocumentManager::activateDocument(Document* doc, bool) {
  auto it = std::find_if(docs_.begin(), docs_.end(), [&](const auto& d) { return d.get() == doc; });
  if (it == docs_.end()) return false;
  cur_ = doc;
  cad::setWorkingDatabase(doc->database());
  return true;
}

Document* DocumentManager::newDocument() {
  docs_.push_back(std::make_unique<Document>(std::make_unique<cad::Database>(true)));
  Document* d = docs_.back().get();
  activateDocument(d);
  return d;
}

Document* DocumentManager::openDocument(const std::wstring& path, std::wstring& error) {
  auto native = os::nativePath(path);
  auto db = std::make_unique<cad::Database>(false);
  cad::Status s = db->readDxfFile(native);
  if (s != cad::Status::Ok) {
    error = L"cannot open " + path + L": " + os::fromUtf8(cad::statusText(s));
    if (!db->lastFileError().empty()) error += L" (" + os::fromUtf8(db->lastFileError()) + L")";
    return nullptr;
  }
  // What the reader repaired or dropped is shown, one line each, so the user
  // knows the drawing differs from the file.
  for (const auto& notice : db->lastFileNotices()) printText(os::fromUtf8(notice) + L"\n");
  // A fresh session's untouched empty drawing is replaced rather than kept.
  if (docs_.size() == 1 && docs_.front()->fileName().empty() &&
      docs_.front()->database()->modelSpaceEntities().empty() && !isCommandActive()) {
    docs_.clear();
    cur_ = nullptr;
  }
  docs_.push_back(std::make_unique<Document>(std::move(db), os::fromUtf8(native.string())));
  Document* d = docs_.back().get();
  activateDocument(d);
  return d;
}

bool DocumentManager::closeDocument(Document* doc) {
  auto it = std::find_if(docs_.begin(), docs_.end(), [&](const auto& d) { return d.get() == doc; });
  if (it == docs_.end()) return false;
  bool wasCurrent = cur_ == doc;
  if (wasCurrent) cad::setWorkingDatabase(nullptr);
  docs_.erase(it);
  if (wasCurrent) {
    cur_ = nullptr;
    if (!docs_.empty()) activateDocument(docs_.back().get());
  }
  ensureOne();
  return true;
}

bool DocumentManager::saveDocument(Document* doc, const std::wstring& path, std::wstring& error) {
  if (!doc) doc = curDocument();
  std::wstring target = path.empty() ? doc->fileName() : path;
  if (target.empty()) {
    error = L"the drawing has no file name";
    return false;
  }
  auto native = os::nativePath(target);
  fireBeginSave(target);
  cad::Status s = doc->database()->saveAs(native);
  if (s != cad::Status::Ok) {
    error = L"cannot save " + target + L": " + os::fromUtf8(cad::statusText(s));
    if (!doc->database()->lastFileError().empty())
      error += L" (" + os::fromUtf8(doc->database()->lastFileError()) + L")";
    return false;
  }
  doc->setFileName(os::fromUtf8(native.string()));
  fireSaveComplete(target);
  return true;
}

bool DocumentManager::lockDocument(Document* doc, LockMode mode, const wchar_t*, const wchar_t*, bool) {
  if (!doc) return false;
  ++doc->lockCount_;
  doc->lockMode_ = mode;
  return true;
}

bool DocumentManager::unlockDocument(Document* doc) {
  if (!doc || doc->lockCount_ == 0) return false;
  if (--doc->lockCount_ == 0) doc->lockMode_ = LockMode::None;
  return true;
}

std::vector<std::wstring> splitCommandString(const std::wstring& text) {
  std::vector<std::wstring> out;
  std::wstring cur;
  bool inQuote = false;
  for (wchar_t c : text) {
    if (c == L'"') inQuote = !inQuote;
    if (!inQuote && (c == L'\n' || c == L'\r' || c == L' ' || c == 0x1B || c == 0x03)) {
      if (c == L'\r') continue;
      out.push_back(cur);
      cur.clear();
      if (c == 0x1B || c == 0x03) {
        out.back() = std::wstring(1, c);
      }
      continue;
    }
    cur += c;
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

bool DocumentManager::sendStringToExecute(Document* doc, const std::wstring& text, bool activate, bool,
                                          bool echo) {
  if (doc && activate) activateDocument(doc);
  sent_.push_back(text);
  pending_.push_back(text);
  if (!isCommandActive() && !running_) runPendingStrings();
  return true;
}

int DocumentManager::runPendingStrings() {
  if (running_) return 0;
  running_ = true;
  int n = 0;
  while (!pending_.empty()) {
    std::wstring text = pending_.front();
    pending_.pop_front();
    ++n;
    auto parts = splitCommandString(text);
    // A trailing separator gives an empty last part: that is the Enter that
    // ends the last input, not an input of its own.
    if (!parts.empty() && parts.back().empty() && !text.empty() &&
        (text.back() == L'\n' || text.back() == L' '))
      parts.pop_back();
    auto& q = inputQueue();
    size_t before = q.size();
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
      InputToken t;
      if (*it == L"\x1b" || *it == L"\x03") t.kind = TokenKind::Escape;
      else if (it->empty()) t.kind = TokenKind::Enter;
      else t.text = *it;
      t.line = q.lastLine();
      q.pushFront(std::move(t));
    }
    // Run commands while this string's tokens remain at the front.
    while (q.size() > before) {
      auto t = q.next();
      if (!t) break;
      if (t->kind == TokenKind::Text) {
        std::wstring name = t->text;
        if (!name.empty() && name[0] == L'(') {
          printText(L"\n" + name);
          continue;
        }
        runCommand(name);
      }
    }
  }
  running_ = false;
  return n;
}

void DocumentManager::pushResourceHandle(void* module) {
  resources_.push_back(module);
  ++resourceDepth_;
}

void DocumentManager::popResourceHandle() {
  if (!resources_.empty()) resources_.pop_back();
  --resourceDepth_;
}

void* DocumentManager::currentResourceHandle() const {
  return resources_.empty() ? nullptr : resources_.back();
}

void DocumentManager::reset() {
  cad::setWorkingDatabase(nullptr);
  cur_ = nullptr;
  docs_.clear();
  pending_.clear();
  sent_.clear();
  resources_.clear();
  resourceDepth_ = 0;
  running_ = false;
}

DocumentManager& docManager() {
  static DocumentManager m;
  return m;
}

Document* curDoc() { return docManager().curDocument(); }
cad::Database* curDatabase() { return docManager().curDocument()->database(); }

}  // namespace ed
