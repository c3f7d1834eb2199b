; A bootstrapper as vendors ship them: hands pkg.msi beside it to msiexec
; and ends at once (Exec, not ExecWait). Built with makensis.
Unicode true
Name "Boot"
OutFile "boot.exe"
RequestExecutionLevel user
SilentInstall silent

Section
    Exec '"$SYSDIR\msiexec.exe" /i "$EXEDIR\pkg.msi" /qn'
SectionEnd
