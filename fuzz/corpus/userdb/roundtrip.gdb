loc
   nm = Ashford
   status = 3
   note =   Met the ferryman; owes me 5 gold   
end
a stray line
location block
   nm = Somewhere Else
   status = 23
   note = 
end
loc
   nm = Calder Reach
   status = 1
   note = loc, status = 3, end	
whatever
