Scriptname QXIOUtil Hidden
; Text files, read and written line by line. Paths are relative to the game's working folder
; unless absolute; "/" and "\" both separate folders.
; Scripts may read any file on the player's computer, but create, empty, append to and delete
; files only in the game's folder (Data included), in Documents\My Games\Skyrim, and in the
; folders the player adds with [files] writablefolders in qxKit.ini. Wherever they lie, no
; script creates, empties, appends to or deletes what the player, the game and other programs
; depend on: QXKit's own files (its DLL, qxKit.ini, QXKit.log), every file directly in
; Data\SKSE and Data\SKSE\Plugins (their subfolders stay a mod's own), the saves (everything
; in Documents\My Games\Skyrim\Saves, and .ess and .skse files anywhere), the .ini files
; directly in the game's folder and in Documents\My Games\Skyrim, files the game or Windows
; load or run (.esm .esp .esl .bsa .pex .exe .dll .bat .cmd .js .lnk ...), and any file with a
; zero byte in its first 4096 bytes (no script wrote it: a save, archive, texture, mesh, sound
; or program). Reading them is allowed. Paths to other computers
; (\\host\share), devices (NUL, COM1, \\.\...) and file streams (x.txt:stream), texts with
; control characters or < > " | ? *, and the empty text are refused by every function. A
; refused call does nothing, returns false, and logs the path and the reason in QXKit.log.

Bool Function ExistsFile(String asPath) global native
{Whether a file or folder exists at the path. False for a refused path.}

Bool Function LoadFile(String asPath, Bool abRead, Bool abAppend, Int aiBufferSize) global native
{Opens the file for reading (abRead) or writing (appending with abAppend, else truncating), holding up to aiBufferSize lines (at least 1) in memory. True when the file is open afterwards. At most 256 files are open at once: close the ones you no longer use. Writing outside the folders scripts may write in, or to a file no script may change, is refused.}

Bool Function CloseFile(String asPath) global native
{Writes out buffered lines and closes the file. False when it was not open.}

Bool Function DeleteAnyFile(String asPath) global native
{Deletes the file, closing it first if it is open. Refused, like writing, outside the folders scripts may write in and for a file no script may change.}

Bool Function IsLoaded(String asPath) global native
{Whether the file is open.}

Bool Function IsGood(String asPath) global native
{Whether the file is open and has had no error.}

Bool Function IsReadOnly(String asPath) global native
{Whether the file is open for reading.}

Bool Function IsWriteOnly(String asPath) global native
{Whether the file is open for writing.}

Bool Function HasNextLine(String asPath) global native
{Whether a file open for reading has another line.}

String Function NextLine(String asPath) global native
{The next line of a file open for reading; "" when the file is not open for reading, and a one-character end marker at the end of the file.}

Bool Function WriteLine(String asPath, String asLine) global native
{Buffers one line for a file open for writing. True when the file is open for writing and good.}
