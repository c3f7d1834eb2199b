; The benchmark's peer: the loader's main job done as an NSIS installer. It
; shows a banner, starts setup.exe from its own folder through the shell,
; waits for that process to end, and ends. Built with makensis.
Unicode true
Name "Peer"
OutFile "peer.exe"
RequestExecutionLevel user
SilentInstall silent

Section
    Banner::show /set 76 "Please wait..." "Please wait while the installation procedure finishes..."
    ExecShellWait "open" "$EXEDIR\setup.exe"
    Banner::destroy
SectionEnd
