marker
   text = Camp, north bank, marker here
   pos = -125000,-130000
end
not a block
my marker
   text =   leading blanks kept 
   pos =   +42,  -7
stop
marker
   text = 
   pos = 175000,220000
end
