marker
   text = Camp, north bank, marker here
   pos = -125000,-130000
end
marker
   text =   leading blanks kept 
   pos = 42,-7
end
marker
   text = 
   pos = 175000,220000
end
