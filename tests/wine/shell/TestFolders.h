// Folders that the chooser tests open, made once when the tests start:
// Wine's folder browser sometimes fails to select a folder created just
// before it opens.
#pragma once

#include <string>

// C:\zvtest\Alpha, C:\zvtest\Beta, under code page 932 also C:\zvtest\表,
// and the two long folders below.
void MakeTestFolders();

// C:\zvlong\...\fits, exactly 255 bytes, and ...\toolong, 256 bytes.
std::string LongFolder(bool tooLong);

// Opens the folder browser once and closes it. The first browser of a Wine
// process now and then fails to select the folder it is asked for; later
// ones do not. Tests then judge only the browsers that follow.
void WarmUpFolderBrowser();
