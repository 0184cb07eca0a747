/* kalvenor.exe: the Windows face of the Linux kalvenor program, for a sales
 * system that runs under Wine.
 *
 * A Windows program that starts a Linux executable under Wine gets control
 * back at once with status 0, so the sales system would read the previous
 * job's log. This launcher takes the old program's place: it runs the Linux
 * program through Wine's own spawn call, waits for it and ends with its exit
 * status. On the way it hands over, as env(1) assignments (the spawn call
 * passes the Unix environment of the Wine process, not the Windows one):
 *   - KALVENOR_DRIVE_X: the Unix folder of every drive letter that Wine maps,
 *     unless the Windows environment already names that drive;
 *   - every other KALVENOR_* variable of the Windows environment;
 *   - KALVENOR_PROGRAM_DRIVE: the drive this launcher was started from;
 *   - KALVENOR_COMMAND_LINE: this process's raw command line, untouched (the
 *     Linux program splits it by its own rules, two spaces and quotes
 *     included).
 * The working directory is kept: the Linux program starts in the Unix
 * folder of the current Windows directory.
 *
 * When the Linux program cannot be started, or ends without a verdict (killed
 * by a signal), the launcher writes the two-line log itself, "ERROR: " and the
 * reason, at the path the program would have used, and ends with status 2;
 * status 1 when not even that log can be written. Other exits are the Linux
 * program's own: 0 with the log written, 1 without.
 *
 * Console-less (GUI subsystem), plain C, no dependencies beyond kernel32 and
 * the C runtime; the Wine entry points are looked up at run time, so the
 * same file also starts (and fails with a log) on Windows itself. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* ntdll: runs argv[0] (looked up in PATH) with the Unix environment of the
 * Wine process. With wait set it returns the exit status, 255 for a child
 * that did not exit normally, or an NTSTATUS when the program could not be
 * executed at all. */
typedef LONG(WINAPI *UnixSpawnFn)(char *const argv[], int wait);
/* kernel32: Unix path of a DOS path, and the reverse; the results are freed
 * with HeapFree on the process heap. */
typedef char *(CDECL *UnixFileNameFn)(LPCWSTR dos_path);
typedef WCHAR *(CDECL *DosFileNameFn)(LPCSTR unix_path);

#define DEFAULT_PROGRAM "/usr/bin/kalvenor"
#define ENV_PROGRAM "/usr/bin/env"
#define EXIT_OWN_LOG 2     /* the launcher wrote the log: the job did not run */
#define EXIT_NO_LOG 1      /* no log could be written at all */

static UnixFileNameFn unix_file_name;
static DosFileNameFn dos_file_name;

/* ---- small helpers ---------------------------------------------------- */

static void *Allocate(size_t size) {
  void *p = malloc(size ? size : 1);
  if (p == NULL) ExitProcess(EXIT_NO_LOG);
  return p;
}

static char *ToUtf8(const WCHAR *text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
  char *out = Allocate(size > 0 ? (size_t)size : 1);
  if (size <= 0 || !WideCharToMultiByte(CP_UTF8, 0, text, -1, out, size, NULL, NULL)) out[0] = 0;
  return out;
}

static WCHAR *CopyW(const WCHAR *text, size_t length) {
  WCHAR *out = Allocate((length + 1) * sizeof(WCHAR));
  memcpy(out, text, length * sizeof(WCHAR));
  out[length] = 0;
  return out;
}

/* printf into a fresh buffer. */
static char *Format(const char *format, ...) {
  va_list args;
  va_start(args, format);
  int size = vsnprintf(NULL, 0, format, args);
  va_end(args);
  char *out = Allocate(size > 0 ? (size_t)size + 1 : 1);
  va_start(args, format);
  vsnprintf(out, (size_t)size + 1, format, args);
  va_end(args);
  return out;
}

/* The Windows environment variable, or NULL when it is not set. */
static WCHAR *GetEnvW(const WCHAR *name) {
  DWORD size = GetEnvironmentVariableW(name, NULL, 0);
  if (size == 0) return NULL;
  WCHAR *value = Allocate(size * sizeof(WCHAR));
  DWORD got = GetEnvironmentVariableW(name, value, size);
  if (got == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
    free(value);
    return NULL;
  }
  if (got >= size) value[0] = 0;
  return value;
}

/* Upper-cases in place (kernel32 only: no window system is loaded). */
static void Upper(WCHAR *text, size_t length) {
  if (length > 0) LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text, (int)length, text, (int)length);
}

static void ToStderr(const char *text) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written;
  if (err != NULL && err != INVALID_HANDLE_VALUE) WriteFile(err, text, (DWORD)strlen(text), &written, NULL);
}

/* ---- the command line, split as the Linux program splits it ------------- */

/* Drops the program path (up to one character after a closing quote, or up
 * to the first space), upper-cases, turns TAB into spaces (a Windows command
 * line holds no NUL), trims spaces and splits at every single space: two
 * spaces give an empty argument. Returns the number of arguments
 * and the first two of them (empty when absent). */
static int SplitCommandLine(const WCHAR *raw, WCHAR **first, WCHAR **second) {
  size_t length = wcslen(raw);
  WCHAR *t = CopyW(raw, length);
  size_t start = 0, end = 0;
  if (length > 2) {
    Upper(t, length);
    const WCHAR *quote = wcschr(t + 1, L'"');
    const WCHAR *space = wcschr(t, L' ');
    if (quote != NULL) {
      start = (size_t)(quote - t) + 2;
      if (start > length) start = length;
    } else if (space != NULL) {
      start = (size_t)(space - t) + 1;
    }
    for (size_t i = start; i < length; ++i) {
      if (t[i] == L'\t') t[i] = L' ';
    }
    end = length;
    while (start < end && t[start] == L' ') ++start;
    while (end > start && t[end - 1] == L' ') --end;
  }
  int count = 0;
  *first = CopyW(L"", 0);
  *second = CopyW(L"", 0);
  if (start < end) {
    size_t word = start;
    for (size_t i = start; i <= end; ++i) {
      if (i < end && t[i] != L' ') continue;
      WCHAR **slot = count == 0 ? first : count == 1 ? second : NULL;
      if (slot != NULL) {
        free(*slot);
        *slot = CopyW(t + word, i - word);
      }
      ++count;
      word = i + 1;
    }
  }
  free(t);
  return count;
}

/* ---- the program drive and the log path ---------------------------------- */

/* "X:" of the folder this launcher runs from; else KALVENOR_PROGRAM_DRIVE of
 * the environment; else C:. */
static void ProgramDrive(WCHAR drive[3]) {
  WCHAR module[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(NULL, module, sizeof module / sizeof module[0]);
  drive[0] = L'C';
  drive[1] = L':';
  drive[2] = 0;
  if (n >= 2 && n < sizeof module / sizeof module[0] && module[1] == L':') {
    drive[0] = module[0];
  } else {
    WCHAR *env = GetEnvW(L"KALVENOR_PROGRAM_DRIVE");
    if (env != NULL && env[0] != 0) {
      drive[0] = env[0];
      drive[1] = env[1];
    }
    free(env);
  }
  Upper(drive, 2);
}

/* The Windows path of a DOS path as the Linux program resolves it: a drive
 * named by KALVENOR_DRIVE_X in the environment is that Unix folder (through
 * Wine), any other drive is Windows's own. Components are joined with "\",
 * "." dropped and ".." never climbs above the drive's root. */
static WCHAR *WindowsPath(const WCHAR *dos_path) {
  size_t length = wcslen(dos_path);
  WCHAR *root = NULL;
  size_t at = 0;
  if (length >= 2 && dos_path[1] == L':') {
    WCHAR name[] = L"KALVENOR_DRIVE_?";
    name[15] = dos_path[0];
    Upper(name + 15, 1);
    WCHAR *folder = GetEnvW(name);
    if (folder != NULL && folder[0] != 0 && dos_file_name != NULL) {
      char *unix_folder = ToUtf8(folder);
      WCHAR *mapped = dos_file_name(unix_folder);
      if (mapped != NULL) {
        root = CopyW(mapped, wcslen(mapped));
        HeapFree(GetProcessHeap(), 0, mapped);
      }
      free(unix_folder);
    }
    free(folder);
    if (root == NULL) root = CopyW(dos_path, 2);
    at = 2;
  } else {
    root = CopyW(L".", 1);
  }
  /* Room for the root, a separator and the rest of the path. */
  size_t root_length = wcslen(root);
  WCHAR *out = Allocate((root_length + length + 2) * sizeof(WCHAR));
  wcscpy(out, root);
  free(root);
  while (root_length > 0 && (out[root_length - 1] == L'\\' || out[root_length - 1] == L'/')) --root_length;
  size_t used = root_length;
  out[used] = 0;
  size_t i = at;
  while (i < length) {
    size_t word = i;
    while (i < length && dos_path[i] != L'\\' && dos_path[i] != L'/') ++i;
    size_t n = i - word;
    if (n == 0 || (n == 1 && dos_path[word] == L'.')) {
    } else if (n == 2 && dos_path[word] == L'.' && dos_path[word + 1] == L'.') {
      while (used > root_length && out[used - 1] != L'\\') --used;
      if (used > root_length) --used;
    } else {
      out[used++] = L'\\';
      memcpy(out + used, dos_path + word, n * sizeof(WCHAR));
      used += n;
    }
    out[used] = 0;
    ++i;
  }
  if (used == root_length) {
    out[used++] = L'\\';
    out[used] = 0;
  }
  return out;
}

/* Writes the two log lines (Windows-1252, CR LF) through a temporary file and
 * a rename, as the Linux program does. FALSE when it cannot be written. */
static BOOL WriteLog(const WCHAR *log_path, const WCHAR *slip_path, const char *reason) {
  WCHAR *reason_w;
  int n = MultiByteToWideChar(CP_UTF8, 0, reason, -1, NULL, 0);
  reason_w = Allocate((n > 0 ? (size_t)n : 1) * sizeof(WCHAR));
  if (n <= 0 || !MultiByteToWideChar(CP_UTF8, 0, reason, -1, reason_w, n)) reason_w[0] = 0;
  size_t size = wcslen(slip_path) + wcslen(reason_w) + 64;
  WCHAR *text = Allocate(size * sizeof(WCHAR));
  _snwprintf(text, size, L"Impresion de Comanda: %ls\r\nERROR: %ls\r\n", slip_path, reason_w);
  text[size - 1] = 0;
  free(reason_w);
  int bytes = WideCharToMultiByte(1252, 0, text, -1, NULL, 0, NULL, NULL);
  char *ansi = Allocate(bytes > 0 ? (size_t)bytes : 1);
  if (bytes <= 0 || !WideCharToMultiByte(1252, 0, text, -1, ansi, bytes, NULL, NULL)) bytes = 1, ansi[0] = 0;
  free(text);

  WCHAR *target = WindowsPath(log_path);
  size_t target_length = wcslen(target);
  WCHAR *temporary = Allocate((target_length + 32) * sizeof(WCHAR));
  _snwprintf(temporary, target_length + 32, L"%ls.%lu.tmp", target, (unsigned long)GetCurrentProcessId());
  temporary[target_length + 31] = 0;
  BOOL ok = FALSE;
  HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    DWORD wanted = (DWORD)(bytes - 1);
    ok = WriteFile(file, ansi, wanted, &written, NULL) && written == wanted;
    ok = CloseHandle(file) && ok;
    if (ok) ok = MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING);
    if (!ok) DeleteFileW(temporary);
  }
  free(ansi);
  free(temporary);
  free(target);
  return ok;
}

/* The launcher's own verdict: the log (at the job's log path, naming the
 * job's slip) and the exit status. */
static int Fail(const char *reason) {
  WCHAR *slip, *log;
  WCHAR drive[3];
  ProgramDrive(drive);
  int count = SplitCommandLine(GetCommandLineW(), &slip, &log);
  if (count != 4) {
    slip[0] = 0;
    log[0] = 0;
  }
  size_t slip_length = wcslen(slip), log_length = wcslen(log);
  WCHAR *slip_path = Allocate((slip_length + 3) * sizeof(WCHAR));
  WCHAR *log_path = Allocate((log_length + 3) * sizeof(WCHAR));
  wcscpy(slip_path, drive);
  wcscat(slip_path, slip);
  wcscpy(log_path, drive);
  wcscat(log_path, log);
  BOOL written = WriteLog(log_path, slip_path, reason);
  if (!written) {
    char *where = ToUtf8(log_path);
    char *message = Format("kalvenor.exe: cannot write the log %s: %s\n", where, reason);
    ToStderr(message);
    free(message);
    free(where);
  }
  free(slip);
  free(log);
  free(slip_path);
  free(log_path);
  return written ? EXIT_OWN_LOG : EXIT_NO_LOG;
}

/* ---- the Linux program's environment ------------------------------------ */

typedef struct {
  char **items;
  size_t count, capacity;
} Words;

static void Add(Words *words, char *word) {
  if (words->count + 1 >= words->capacity) {
    words->capacity = words->capacity ? words->capacity * 2 : 64;
    char **grown = realloc(words->items, words->capacity * sizeof(char *));
    if (grown == NULL) ExitProcess(EXIT_NO_LOG);
    words->items = grown;
  }
  words->items[words->count++] = word;
  words->items[words->count] = NULL;
}

/* Variables the launcher sets itself, or that only the launcher reads. */
static BOOL IsLauncherVariable(const WCHAR *name, size_t length) {
  static const WCHAR *const own[] = {L"KALVENOR_COMMAND_LINE", L"KALVENOR_PROGRAM_DRIVE", L"KALVENOR_BIN"};
  for (size_t i = 0; i < sizeof own / sizeof own[0]; ++i) {
    if (wcslen(own[i]) == length && _wcsnicmp(name, own[i], length) == 0) return TRUE;
  }
  return FALSE;
}

/* NAME=value for every KALVENOR_* variable of the Windows environment (the
 * name upper-cased: Windows names ignore case, the Linux program's do not).
 * Marks in `named` the drive letters that are among them. */
static void AddWindowsVariables(Words *words, BOOL named[26]) {
  WCHAR *block = GetEnvironmentStringsW();
  if (block == NULL) return;
  for (WCHAR *entry = block; *entry != 0; entry += wcslen(entry) + 1) {
    const WCHAR *equals = wcschr(entry + 1, L'=');
    if (equals == NULL || _wcsnicmp(entry, L"KALVENOR_", 9) != 0) continue;
    size_t name_length = (size_t)(equals - entry);
    if (IsLauncherVariable(entry, name_length)) continue;
    WCHAR *assignment = CopyW(entry, wcslen(entry));
    Upper(assignment, name_length);
    if (name_length == 16 && _wcsnicmp(assignment, L"KALVENOR_DRIVE_", 15) == 0 && assignment[15] >= L'A' &&
        assignment[15] <= L'Z') {
      named[assignment[15] - L'A'] = TRUE;
    }
    Add(words, ToUtf8(assignment));
    free(assignment);
  }
  FreeEnvironmentStringsW(block);
}

/* KALVENOR_DRIVE_X=folder for every drive Wine maps and the environment does
 * not name. */
static void AddWineDrives(Words *words, const BOOL named[26]) {
  DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i)) || named[i] || unix_file_name == NULL) continue;
    WCHAR root[] = L"?:\\";
    root[0] = (WCHAR)(L'A' + i);
    char *folder = unix_file_name(root);
    if (folder == NULL) continue;
    /* Kept as Wine gives it, with its trailing "/": Wine's drive folders are
     * symbolic links, and a path that ends in "/" can never replace one. */
    if (folder[0] != 0) Add(words, Format("KALVENOR_DRIVE_%c=%s", 'A' + i, folder));
    HeapFree(GetProcessHeap(), 0, folder);
  }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR arguments, int show) {
  (void)instance;
  (void)previous;
  (void)arguments;
  (void)show;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  UnixSpawnFn spawn = ntdll ? (UnixSpawnFn)(void (*)(void))GetProcAddress(ntdll, "__wine_unix_spawnvp") : NULL;
  if (kernel32 != NULL) {
    unix_file_name = (UnixFileNameFn)(void (*)(void))GetProcAddress(kernel32, "wine_get_unix_file_name");
    dos_file_name = (DosFileNameFn)(void (*)(void))GetProcAddress(kernel32, "wine_get_dos_file_name");
  }
  if (spawn == NULL) return Fail("Not running under Wine: the Linux program cannot be started");

  WCHAR *program_w = GetEnvW(L"KALVENOR_BIN");
  char *program = program_w != NULL && program_w[0] != 0 ? ToUtf8(program_w) : Format("%s", DEFAULT_PROGRAM);
  free(program_w);
  if (program[0] != '/' || strchr(program, '=') != NULL) {
    char *reason = Format("KALVENOR_BIN is not an absolute Unix path: %s", program);
    return Fail(reason);
  }

  Words words = {0};
  BOOL named[26] = {0};
  Add(&words, ENV_PROGRAM);
  Add(&words, "--");
  AddWindowsVariables(&words, named);
  AddWineDrives(&words, named);
  WCHAR drive[3];
  ProgramDrive(drive);
  char *drive_utf8 = ToUtf8(drive);
  Add(&words, Format("KALVENOR_PROGRAM_DRIVE=%s", drive_utf8));
  char *command_line = ToUtf8(GetCommandLineW());
  Add(&words, Format("KALVENOR_COMMAND_LINE=%s", command_line));
  Add(&words, program);

  LONG status = spawn(words.items, 1);
  if (status == 0 || status == 1) return (int)status;
  /* env(1): 127 the program is missing, 126 it cannot be run, 125 env failed. */
  char *reason;
  if (status == 127) {
    reason = Format("The Linux program %s was not found", program);
  } else if (status == 126) {
    reason = Format("The Linux program %s cannot be run", program);
  } else if (status == 255) {
    reason = Format("The Linux program %s was killed by a signal", program);
  } else if (status == 125 || status < 0 || status > 255) {
    reason = Format("The Linux program %s could not be started (status 0x%08lX)", program, (unsigned long)status);
  } else {
    reason = Format("The Linux program %s ended with status %ld", program, (long)status);
  }
  return Fail(reason);
}
