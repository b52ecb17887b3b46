<Zolvane><ORV 1.00>
C:\d#100#2#30#2#0#3#2#2#0#1#100#0.044#0.3#0.3#0.1#0.1#+-*/#0.1#1#1@0@0@0@0@0@0@0@0@0#0.1#1#1@0@0@0@0@0@0@0@0@0
Old run


@@
1
2
0.5
3
4
0.25
train.txt
test.txt
<TerminalA>
1
2
3
<TerminalB>
4
5
6
<VarDep>
5
7
9
<ValTerminalA>
1
2
<ValTerminalB>
1
2
<ValVarDep>
2
4
