; A vendor's bootstrapper: hands pkg.msi beside it to msiexec and ends at once (Exec, not ExecWait).
Unicode true
OutFile "boot.exe"
RequestExecutionLevel user
SilentInstall silent
Section
    Exec '"$SYSDIR\msiexec.exe" /i "$EXEDIR\pkg.msi" /qn'
SectionEnd
