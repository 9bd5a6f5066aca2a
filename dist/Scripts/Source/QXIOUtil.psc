Scriptname QXIOUtil Hidden
; Text files, read and written line by line. Paths are relative to the game's working folder
; unless absolute; "/" and "\" both separate folders.

Bool Function ExistsFile(String asPath) global native
{Whether a file or folder exists at the path.}

Bool Function LoadFile(String asPath, Bool abRead, Bool abAppend, Int aiBufferSize) global native
{Opens the file for reading (abRead) or writing (appending with abAppend, else truncating), holding up to aiBufferSize lines (at least 1) in memory. True when the file is open afterwards.}

Bool Function CloseFile(String asPath) global native
{Writes out buffered lines and closes the file. False when it was not open.}

Bool Function DeleteAnyFile(String asPath) global native
{Deletes the file, closing it first if it is open.}

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
