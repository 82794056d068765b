; Veldamar places, generated

[loc]
name: Harrowmere
kind: town
---
levl: 0
---
---
pos:  -5000,12000
   a location of note   
name: Quillby Ford
kind: village
---
levl:    3
---
---
pos:    250,+75
LOC is not a header, nor is this
junk between records
xlocx
name:
kind: ruin
---
levl: -2
---
---
pos:  -125000,-130000
loc
name: Harrowmere
kind: twin
---
levl: 5
---
---
pos:  175000,220000
loc
name: Ölmfjord, North
kind: port
---
levl: +1
---
---
pos:  0,0
loc