' A script client: CreateObject by ProgID, then the errors a script sees.
' Run from this folder; prints one line per failure, then that it ran to the end.
Option Explicit
Dim fso, adapter
Set fso = CreateObject("Scripting.FileSystemObject")
Set adapter = CreateObject("ORVConverter.V2Adapter")

Sub Expect(path, number, description)
    On Error Resume Next
    ' A by-reference Variant would be refused before the call, as on Windows.
    adapter.Convert fso.GetAbsolutePathName(path), Nothing
    If Err.Number <> number Or Err.Description <> description Or Err.Source <> "ORVConverter.V2Adapter" Then
        WScript.Echo "FAILED " & path & ": " & Err.Number & " " & Err.Description & " (" & Err.Source & ")"
    End If
End Sub

Expect "data\missing.kvr", 5004, "File not found."
Expect "data\foreign.kvr", 5002, "Wrong file format."
Expect "data\unusable.kvr", 5003, "Invalid file."
WScript.Echo "All checks ran"
