loc
   nm = Ashford
   status = 3
   note = Met the ferryman; owes me 5 gold
end
loc
   nm = Brinemouth
   status = 2
   note = 
end
loc
   nm = Calder Reach
   status = 1
   note = loc, status = 3, end
end
loc
   nm = Dunmore
   status = 1
   note = 
end
